#include "devservice/IncomingRequest.h"

#include <QHttpServerRequest>

using namespace Qt::StringLiterals;

namespace vesko::devservice {

namespace {

QByteArray methodName(QHttpServerRequest::Method method)
{
    switch (method) {
    case QHttpServerRequest::Method::Get:
        return "GET"_ba;
    case QHttpServerRequest::Method::Put:
        return "PUT"_ba;
    case QHttpServerRequest::Method::Delete:
        return "DELETE"_ba;
    case QHttpServerRequest::Method::Post:
        return "POST"_ba;
    case QHttpServerRequest::Method::Head:
        return "HEAD"_ba;
    case QHttpServerRequest::Method::Options:
        return "OPTIONS"_ba;
    case QHttpServerRequest::Method::Patch:
        return "PATCH"_ba;
    case QHttpServerRequest::Method::Connect:
        return "CONNECT"_ba;
    case QHttpServerRequest::Method::Trace:
        return "TRACE"_ba;
    default:
        return "UNKNOWN"_ba;
    }
}

QString normalisedPath(const QString &path)
{
    qsizetype begin = 0;
    qsizetype end = path.size();
    while (begin < end && path.at(begin) == u'/')
        ++begin;
    while (end > begin && path.at(end - 1) == u'/')
        --end;
    return path.mid(begin, end - begin);
}

QUrlQuery queryOf(const QString &encoded)
{
    // Forms and browsers write a space as "+"; QUrlQuery keeps it literal.
    QString text = encoded;
    text.replace(u'+', u"%20"_s);
    return QUrlQuery(text);
}

} // namespace

IncomingRequest IncomingRequest::from(const QHttpServerRequest &request, const QDateTime &receivedAt)
{
    const QUrl url = request.url();
    IncomingRequest incoming;
    incoming.method = methodName(request.method());
    incoming.path = normalisedPath(url.path());
    incoming.rawQuery = url.query(QUrl::FullyEncoded);
    incoming.headers = request.headers();
    incoming.body = request.body();
    incoming.peer = request.remoteAddress();
    incoming.receivedAt = receivedAt;
    return incoming;
}

QString IncomingRequest::queryItem(const QString &name) const
{
    return queryOf(rawQuery).queryItemValue(name, QUrl::FullyDecoded);
}

bool IncomingRequest::hasQueryItem(const QString &name) const
{
    return queryOf(rawQuery).hasQueryItem(name);
}

QByteArray IncomingRequest::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

std::optional<QString> IncomingRequest::bearerToken() const
{
    const QByteArray value = header("Authorization"_ba);
    // The scheme name is case-insensitive (RFC 7235); the token is taken as sent.
    const qsizetype space = value.indexOf(' ');
    if (space < 0 || value.left(space).compare("Bearer"_ba, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    const QByteArray token = value.mid(space + 1);
    if (token.isEmpty())
        return std::nullopt;
    return QString::fromLatin1(token);
}

QUrlQuery IncomingRequest::form() const
{
    return queryOf(QString::fromUtf8(body));
}

bool IncomingRequest::wantsClose() const
{
    return header("Connection"_ba).trimmed().compare("close"_ba, Qt::CaseInsensitive) == 0;
}

} // namespace vesko::devservice
