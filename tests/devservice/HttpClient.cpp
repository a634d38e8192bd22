#include "HttpClient.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

QNetworkRequest HttpClient::request(const QUrl &url, const QByteArray &token) const
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setRawHeader("Accept", "application/json");
    if (!token.isEmpty())
        request.setRawHeader("Authorization", "Bearer " + token);
    return request;
}

HttpResult HttpClient::get(const QUrl &url, const QByteArray &token, int transferTimeoutMs)
{
    QNetworkRequest req = request(url, token);
    if (transferTimeoutMs > 0)
        req.setTransferTimeout(transferTimeoutMs);
    return run(m_manager.get(req));
}

HttpResult HttpClient::send(const QByteArray &method, const QUrl &url, const QByteArray &body,
                            const QByteArray &contentType, const QByteArray &token)
{
    QNetworkRequest req = request(url, token);
    if (!body.isEmpty())
        req.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
    return run(m_manager.sendCustomRequest(req, method, body));
}

HttpResult HttpClient::run(QNetworkReply *reply)
{
    QElapsedTimer clock;
    clock.start();
    HttpResult result;
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    if (!reply->isFinished()) {
        reply->abort();
        result.error = QNetworkReply::TimeoutError;
    } else {
        result.error = reply->error();
    }
    result.elapsedMs = clock.elapsed();
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->isOpen())
        result.body = reply->readAll();
    result.location = reply->rawHeader("Location");
    result.contentLength = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    reply->deleteLater();
    return result;
}
