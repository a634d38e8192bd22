#include "app/linux/LinuxPlatform.h"

#include "app/core/AppcastUpdater.h"
#include "app/core/DesktopBrowserSession.h"

using namespace Qt::StringLiterals;

namespace vesko {

LinuxPlatform::LinuxPlatform(const QString &program, const QString &version)
    // ~/.config/vesko/vesko.conf
    : m_settings(QSettings::IniFormat, QSettings::UserScope, u"vesko"_s, u"vesko"_s),
      m_autostart(u"app.vesko.Vesko"_s, program),
      m_version(version)
{}

LinuxPlatform::~LinuxPlatform() = default;

QUrl LinuxPlatform::appcastURL(const QJsonObject &info, const VeskoConfig &config)
{
    QUrl fromInfo(info.value("VeskoAppcastURL"_L1).toString(), QUrl::StrictMode);
    if (fromInfo.isValid() && !fromInfo.isRelative())
        return fromInfo;
    return appendingPath(config.webURL(), u"appcast.xml");
}

AppModel::Environment LinuxPlatform::environment(const VeskoConfig &config)
{
    const QJsonObject info = VeskoConfig::readInfoFile(VeskoConfig::infoFilePath());
    m_updater = std::make_unique<AppcastUpdater>(appcastURL(info, config), m_version, m_settings, m_http);
    return AppModel::Environment{
        .config = config,
        .secrets = m_secrets,
        .http = m_http,
        .settings = m_settings,
        .loginItem = m_autostart,
        .urls = m_urls,
        .hostName = m_hostName,
        .browserSessions = [this] { return std::make_unique<DesktopBrowserSession>(m_urls); },
        .loopTimer = std::make_unique<BootClockTimer>(),
        .wake = &m_wake,
        .updater = m_updater.get(),
    };
}

} // namespace vesko
