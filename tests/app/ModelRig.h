#pragma once

// What a model needs around it in a test: a scripted service on loopback, a
// settings file of its own and a fake for every desktop facility.
#include "AppModel.h"
#include "Fakes.h"
#include "ScriptedService.h"

#include <QSettings>
#include <QTemporaryDir>

struct ModelRig
{
    ScriptedService service;
    vesko::HttpSession http;
    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("vesko.conf")), QSettings::IniFormat};
    FakeSecretStore secrets;
    FakeLoginItem login;
    FakeUrlOpener urls;
    FakeHostName host;

    // The loop turns only when a test makes it (FakeSleepTimer).
    vesko::AppModel::Environment environment(std::function<QDateTime()> now = [] {
        return QDateTime::currentDateTimeUtc();
    })
    {
        return {.config = vesko::VeskoConfig(service.origin(), QUrl(QStringLiteral("https://web.example/"))),
                .secrets = secrets,
                .http = http,
                .settings = settings,
                .loginItem = login,
                .urls = urls,
                .hostName = host,
                .browserSessions = [] { return std::make_unique<FakeBrowserSession>(); },
                .loopTimer = std::make_unique<FakeSleepTimer>(),
                .now = std::move(now)};
    }
};
