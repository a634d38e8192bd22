#pragma once

#include "kit/DataEnvelope.h"
#include "tests/support/DevServiceProcess.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>
#include <QUrlQuery>

#include <cerrno>
#include <memory>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

inline const QString summaryPath = u"v1/summary?project=all"_s;
inline const QString eventsPath = u"v1/events?project=all&limit=5"_s;
inline const QString mePath = u"v1/me"_s;
inline const QString tokenPath = u"v1/app-auth/token"_s;

// JSON written with single quotes, which keeps tables legible.
inline QByteArray jsonText(const char *text)
{
    return QByteArray(text).replace('\'', '"');
}

// The answer as the app reads it; nothing when the app would refuse it.
template <typename T>
std::optional<T> decoded(const QByteArray &body)
try {
    return vesko::decodeData<T>(body);
} catch (const vesko::DecodingError &) {
    return std::nullopt;
}

// A request as a client writes it. The service reads a body by what it
// expects there, so no Content-Type is sent. Control calls carry the
// secret, and `extra` header lines (each ending in CRLF) go in as they are.
inline QByteArray request(const QByteArray &method, const QString &path, const QByteArray &body = {},
                          const QByteArray &authorization = {}, bool close = true, const QByteArray &extra = {})
{
    QByteArray credentials = authorization.isEmpty() ? QByteArray() : "Authorization: " + authorization + "\r\n";
    if (path.startsWith("_control"_L1))
        credentials += DevServiceProcess::controlHeader + (": " + DevServiceProcess::controlSecret()) + "\r\n";
    return method + " /" + path.toUtf8()
           + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" + credentials
           + extra + (close ? "Connection: close\r\n\r\n" : "\r\n") + body;
}

// What the service's request log shows in place of a token, code or verifier.
inline QString loggedAs(const QByteArray &secret)
{
    return u"sha256:"_s
           + QString::fromLatin1(QCryptographicHash::hash(secret, QCryptographicHash::Sha256).first(8).toHex());
}

// What came back on one connection. Read from a plain socket because Qt
// reports a clean close and a reset alike.
struct Wire
{
    enum class End {
        closed,
        reset,
        timedOut,
        failed
    };
    QByteArray head, body;
    End end = End::failed;

    int status() const { return head.startsWith("HTTP/1.1 ") ? head.mid(9, 3).toInt() : 0; } // 0: no answer

    QByteArray header(const QString &name) const
    {
        return QRegularExpression(u"(?i)\\r\\n"_s + name + u": ([^\\r]*)"_s)
            .match(QString::fromLatin1(head))
            .captured(1)
            .toLatin1();
    }
    QJsonValue json() const { return QJsonDocument::fromJson(body).object(); }
};

// A fresh service per test, and the calls tests make to it.
class ServiceFixture
{
protected:
    void restart(const QStringList &arguments = {})
    {
        m_service = std::make_unique<DevServiceProcess>(arguments);
        QVERIFY2(m_service->failure().isEmpty(), qPrintable(m_service->failure()));
    }

    Wire send(const QByteArray &requests, int timeoutMs = 10000) const
    {
        Wire result;
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const timeval timeout{timeoutMs / 1000, qint64{timeoutMs % 1000} * 1000};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        const sockaddr_in address{AF_INET, htons(m_service->port()), {htonl(INADDR_LOOPBACK)}, {}};
        QByteArray received;
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0
            && ::send(fd, requests.constData(), size_t(requests.size()), 0) == requests.size()) {
            char buffer[4096];
            ssize_t n;
            while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
                received.append(buffer, n);
            result.end = n == 0                ? Wire::End::closed
                         : errno == ECONNRESET ? Wire::End::reset
                         : errno == EAGAIN     ? Wire::End::timedOut
                                               : Wire::End::failed;
        }
        ::close(fd);
        const qsizetype split = received.indexOf("\r\n\r\n");
        result.head = received.left(split);
        result.body = split < 0 ? QByteArray() : received.mid(split + 4);
        return result;
    }

    Wire call(const QByteArray &method, const QString &path, const QByteArray &body = {},
              const QByteArray &authorization = {}) const
    {
        return send(request(method, path, body, authorization));
    }
    Wire control(const QByteArray &settings) const { return call("POST", u"_control"_s, settings); }

    // "Bearer <token>", the token straight from the control interface.
    QByteArray bearer() const
    {
        return "Bearer " + call("POST", u"_control/issue-token"_s).json()[u"data"_s][u"token"_s].toString().toLatin1();
    }

    // Presses Approve on the connect page; answers the code from the callback.
    QString approve(const QString &challenge) const
    {
        // A challenge is base64url, safe in a form as it is.
        const Wire answer = call("POST", u"connect-app"_s, "decision=approve&challenge=" + challenge.toLatin1());
        return QUrlQuery(QUrl(QString::fromUtf8(answer.header(u"Location"_s)))).queryItemValue(u"code"_s);
    }

    std::unique_ptr<DevServiceProcess> m_service;
};
