#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QPair>
#include <QString>

namespace vesko::devservice {

// One complete HTTP/1.1 answer, before it goes on the wire. Kept as plain
// bytes so that a fault can cut, pad or slow down exactly what a client sees.
struct HttpReply
{
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;

    // Status line and headers, Content-Length included, up to the empty line.
    QByteArray head() const;
    bool isSuccess() const { return status >= 200 && status <= 299; }
    bool isJson() const { return contentType.startsWith("application/json"); }

    // {"data": payload}
    static HttpReply data(const QJsonValue &payload);
    static HttpReply json(const QJsonValue &document, int status = 200);
    // {"error": error[, "error_description": description]}
    static HttpReply error(int status, const QString &error, const QString &description = {});
    static HttpReply html(const QString &page, int status = 200);
    static HttpReply xml(const QByteArray &document);
    static HttpReply redirect(const QString &location);
    static HttpReply noContent();
};

} // namespace vesko::devservice
