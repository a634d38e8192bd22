#include "ServiceFixture.h"

#include <QJsonDocument>
#include <QTest>
#include <QUrlQuery>

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray jsonText(const char *text)
{
    return QByteArray(text).replace('\'', '"');
}

void ServiceFixture::restart(const QStringList &arguments)
{
    stop();
    m_service = std::make_unique<DevServiceProcess>(arguments);
    m_http = std::make_unique<HttpClient>();
    QVERIFY2(m_service->failure().isEmpty(), qPrintable(m_service->failure()));
}

void ServiceFixture::stop()
{
    m_http.reset();
    m_service.reset();
}

HttpResult ServiceFixture::control(const QJsonObject &settings)
{
    return m_http->send("POST", url("_control"), compact(settings));
}

HttpResult ServiceFixture::exchangeCode(const QByteArray &body)
{
    return m_http->send("POST", url(tokenPath), body);
}

QByteArray ServiceFixture::issueToken()
{
    return m_http->send("POST", url("_control/issue-token")).data()["token"].toString().toLatin1();
}

QString ServiceFixture::approve(const QString &challenge)
{
    const QUrlQuery fields{{"challenge", challenge}, {"platform", "linux"}, {"name", "Test PC"}, {"decision", "approve"}};
    const HttpResult result = m_http->send("POST", url("connect-app"), fields.toString(QUrl::FullyEncoded).toUtf8(), formType);
    return QUrlQuery(QUrl(QString::fromUtf8(result.location))).queryItemValue("code");
}
