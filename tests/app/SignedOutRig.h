#pragma once

// A model that is signed out (an empty keyring), with its settings in a
// scratch folder: nothing it does reaches the network.
#include "AppModel.h"
#include "Fakes.h"

#include <QSettings>
#include <QTemporaryDir>

struct SignedOutRig
{
    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("vesko.conf")), QSettings::IniFormat};
    FakeSecretStore secrets;
    FakeLoginItem login;
    FakeUrlOpener urls;
    FakeHostName host;
    vesko::HttpSession http;
    vesko::AppModel model{{.config = vesko::VeskoConfig(QUrl(QStringLiteral("http://127.0.0.1:9/")),
                                                        QUrl(QStringLiteral("https://web.example/"))),
                           .secrets = secrets,
                           .http = http,
                           .settings = settings,
                           .loginItem = login,
                           .urls = urls,
                           .hostName = host,
                           .browserSessions = [] { return std::make_unique<FakeBrowserSession>(); },
                           .loopTimer = std::make_unique<FakeSleepTimer>()}};
};
