#pragma once

#include "DevServiceProcess.h"
#include "HttpClient.h"

#include "DataEnvelope.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// Paths as the app asks for them.
inline const QString summaryPath = QStringLiteral("v1/summary?project=all");
inline const QString eventsPath = QStringLiteral("v1/events?project=all&limit=5");
inline const QString mePath = QStringLiteral("v1/me");
inline const QString tokenPath = QStringLiteral("v1/app-auth/token");
inline const QByteArray formType = "application/x-www-form-urlencoded";

QByteArray compact(const QJsonObject &object);
// JSON written with single quotes, which keeps test tables legible.
QByteArray jsonText(const char *text);

// Decodes an answer the way the app does; nothing when the app would refuse it.
template<typename T>
std::optional<T> decoded(const QByteArray &body, QString *why = nullptr)
{
    try {
        return vesko::decodeData<T>(body);
    } catch (const vesko::DecodingError &error) {
        if (why)
            *why = error.message();
        return std::nullopt;
    }
}

// A fresh service per test, and the calls most tests make to it.
class ServiceFixture
{
protected:
    void restart(const QStringList &arguments = {});
    void stop();

    QUrl url(const QString &path) const { return m_service->url(path); }
    HttpResult control(const QJsonObject &settings);
    HttpResult exchangeCode(const QByteArray &body);
    // A live token straight from the control interface.
    QByteArray issueToken();
    // Presses Approve on the connect page; answers the code from the callback URL.
    QString approve(const QString &challenge);

    std::unique_ptr<DevServiceProcess> m_service;
    std::unique_ptr<HttpClient> m_http;
};
