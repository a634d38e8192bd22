#pragma once

#include "app/core/AppModel.h"
#include "app/linux/BootClockTimer.h"
#include "app/linux/DesktopUrlOpener.h"
#include "app/linux/KeyringSecretStore.h"
#include "app/linux/LogindWakeMonitor.h"
#include "app/linux/SystemHostName.h"
#include "app/linux/XdgAutostart.h"
#include "kit/HttpSession.h"

#include <QSettings>

#include <memory>

namespace vesko {

class AppcastUpdater;

// Every Linux facility the model reaches, made once per process and owned
// here. The model gets them as its environment.
class LinuxPlatform
{
public:
    // `program` is the path of Vesko's executable, as it is: the autostart
    // entry quotes it.
    LinuxPlatform(const QString &program, const QString &version);
    ~LinuxPlatform();

    AppModel::Environment environment(const VeskoConfig &config);
    QSettings &settings() { return m_settings; }
    HttpSession &http() { return m_http; }

    // The built-in feed, or "VeskoAppcastURL" of the info file.
    static QUrl appcastURL(const QJsonObject &info, const VeskoConfig &config);

private:
    QSettings m_settings;
    HttpSession m_http;
    KeyringSecretStore m_secrets;
    XdgAutostart m_autostart;
    DesktopUrlOpener m_urls;
    SystemHostName m_hostName;
    LogindWakeMonitor m_wake;
    std::unique_ptr<AppcastUpdater> m_updater;
    QString m_version;
};

} // namespace vesko
