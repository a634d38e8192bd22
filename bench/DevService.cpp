#include "bench/DevService.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace vesko::bench {

DevService::Answer DevService::call(const QByteArray &verb, const QString &pathAndQuery, const QByteArray &body,
                                    const QString &token) const
{
    // A manager per call: its connection ends with it, whatever keep-alive says.
    QNetworkAccessManager network;
    QNetworkRequest request(base().resolved(QUrl(pathAndQuery)));
    request.setRawHeader("Connection", "close");
    if (!token.isEmpty())
        request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
    if (pathAndQuery.startsWith(u"_control"_s))
        request.setRawHeader(DevServiceProcess::controlHeader, DevServiceProcess::controlSecret());
    if (!body.isNull())
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    QNetworkReply *reply = network.sendCustomRequest(request, verb, body);
    QEventLoop wait;
    QObject::connect(reply, &QNetworkReply::finished, &wait, &QEventLoop::quit);
    QTimer::singleShot(10000, &wait, &QEventLoop::quit);
    wait.exec();
    Answer answer;
    if (reply->isFinished()) {
        answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        answer.body = reply->readAll();
    }
    reply->abort();
    delete reply;
    return answer;
}

bool DevService::control(const QJsonObject &faults) const
{
    return call("POST", u"_control"_s, QJsonDocument(faults).toJson(QJsonDocument::Compact)).status == 200;
}

bool DevService::resetControl() const
{
    return call("POST", u"_control/reset"_s, QByteArray("")).status == 200;
}

std::optional<DevService::Stats> DevService::stats() const
{
    const Answer answer = call("GET", u"_control/stats"_s);
    const QJsonObject object = QJsonDocument::fromJson(answer.body).object();
    if (answer.status != 200 || !object.value(u"connections").isDouble())
        return std::nullopt;
    return Stats{object.value(u"connections").toInteger(), object.value(u"requests").toInteger()};
}

QString DevService::grantToken() const
{
    const Answer answer = call("POST", u"_control/issue-token"_s, QByteArray(""));
    return QJsonDocument::fromJson(answer.body).object().value(u"data").toObject().value(u"token").toString();
}

} // namespace vesko::bench
