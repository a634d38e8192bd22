#pragma once

// What a model needs around it in a test: a settings file of its own and a
// fake for every desktop facility; ModelRig adds a scripted service on
// loopback, SignedOutRig a signed-out model that never reaches the network.
#include "app/core/AppModel.h"
#include "tests/support/Fakes.h"
#include "tests/support/ScriptedService.h"

#include <QSettings>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

struct RigFakes
{
    QTemporaryDir dir;
    QSettings settings{dir.filePath(u"vesko.conf"_s), QSettings::IniFormat};
    FakeSecretStore secrets;
    FakeLoginItem login;
    FakeUrlOpener urls;
    FakeHostName host;
    vesko::HttpSession http;

    // The loop turns only when a test makes it (FakeSleepTimer).
    vesko::AppModel::Environment environment(
        const QUrl &api, std::function<QDateTime()> now = [] { return QDateTime::currentDateTimeUtc(); })
    {
        return {.config = vesko::VeskoConfig(api, QUrl(u"https://web.example/"_s)),
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

struct ModelRig : RigFakes
{
    ScriptedService service;

    vesko::AppModel::Environment environment(std::function<QDateTime()> now = [] {
        return QDateTime::currentDateTimeUtc();
    })
    {
        return RigFakes::environment(service.origin(), std::move(now));
    }
};

// Signed out (an empty keyring), its API on a port where nothing listens.
struct SignedOutRig : RigFakes
{
    vesko::AppModel model{environment(QUrl(u"http://127.0.0.1:9/"_s))};
};
