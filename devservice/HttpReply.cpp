#include "devservice/HttpReply.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace vesko::devservice {

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK"_ba;
    case 201:
        return "Created"_ba;
    case 204:
        return "No Content"_ba;
    case 301:
        return "Moved Permanently"_ba;
    case 302:
        return "Found"_ba;
    case 303:
        return "See Other"_ba;
    case 307:
        return "Temporary Redirect"_ba;
    case 308:
        return "Permanent Redirect"_ba;
    case 400:
        return "Bad Request"_ba;
    case 401:
        return "Unauthorized"_ba;
    case 403:
        return "Forbidden"_ba;
    case 404:
        return "Not Found"_ba;
    case 405:
        return "Method Not Allowed"_ba;
    case 429:
        return "Too Many Requests"_ba;
    case 500:
        return "Internal Server Error"_ba;
    case 502:
        return "Bad Gateway"_ba;
    case 503:
        return "Service Unavailable"_ba;
    case 504:
        return "Gateway Timeout"_ba;
    default:
        return "Status"_ba;
    }
}

// 204 and 304 answers end at the headers; a Content-Length there would be a lie.
bool hasBody(int status)
{
    return status != 204 && status != 304;
}

} // namespace

QByteArray HttpReply::head() const
{
    QByteArray text = "HTTP/1.1 "_ba + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    if (!contentType.isEmpty() && hasBody(status))
        text += "Content-Type: "_ba + contentType + "\r\n";
    if (hasBody(status))
        text += "Content-Length: "_ba + QByteArray::number(body.size()) + "\r\n";
    for (const auto &[name, value] : headers)
        text += name + ": " + value + "\r\n";
    text += "Cache-Control: no-store\r\n\r\n";
    return text;
}

HttpReply HttpReply::data(const QJsonValue &payload)
{
    return json(QJsonObject{{u"data"_s, payload}});
}

HttpReply HttpReply::json(const QJsonValue &document, int status)
{
    const QJsonDocument doc =
        document.isArray() ? QJsonDocument(document.toArray()) : QJsonDocument(document.toObject());
    return {status, "application/json"_ba, doc.toJson(QJsonDocument::Compact), {}};
}

HttpReply HttpReply::error(int status, const QString &error, const QString &description)
{
    QJsonObject body{{u"error"_s, error}};
    if (!description.isEmpty())
        body.insert(u"error_description"_s, description);
    return json(body, status);
}

HttpReply HttpReply::html(const QString &page, int status)
{
    return {status, "text/html; charset=utf-8"_ba, page.toUtf8(), {}};
}

HttpReply HttpReply::xml(const QByteArray &document)
{
    return {200, "application/rss+xml; charset=utf-8"_ba, document, {}};
}

HttpReply HttpReply::redirect(const QString &location)
{
    return {302, {}, {}, {{"Location"_ba, location.toUtf8()}}};
}

HttpReply HttpReply::noContent()
{
    return {204, {}, {}, {}};
}

} // namespace vesko::devservice
