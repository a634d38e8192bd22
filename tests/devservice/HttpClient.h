#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUrl>

// What came back for one request.
struct HttpResult
{
    int status = 0; // 0 when no HTTP answer arrived
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QByteArray body;
    QByteArray location;
    qint64 contentLength = -1;
    qint64 elapsedMs = 0;

    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
    QJsonObject data() const { return json().value(QLatin1StringView("data")).toObject(); }
    QJsonArray jsonArray() const { return QJsonDocument::fromJson(body).array(); }
};

// Blocking HTTP over one QNetworkAccessManager, so that its connections are
// reused the way the app's are. Redirects are never followed.
class HttpClient
{
public:
    HttpResult get(const QUrl &url, const QByteArray &token = {}, int transferTimeoutMs = 0);
    HttpResult send(const QByteArray &method, const QUrl &url, const QByteArray &body = {},
                    const QByteArray &contentType = "application/json", const QByteArray &token = {});

private:
    HttpResult run(QNetworkReply *reply);
    QNetworkRequest request(const QUrl &url, const QByteArray &token) const;

    QNetworkAccessManager m_manager;
};
