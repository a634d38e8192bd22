#pragma once

#include "app/core/ColorScheme.h"

#include <QDBusConnection>
#include <QDBusVariant>

#include <chrono>

namespace vesko {

// The desktop's colour scheme as the XDG settings portal tells it (1, "prefer
// dark", is dark; anything else, or no portal at all, is light), followed
// through its SettingChanged signal and asked again whenever a portal starts.
class PortalColorScheme : public ColorScheme
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultTimeout{250};

    // Asks the portal on `bus` at once and waits at most `timeout` for it; a
    // portal slower than that is heard when it answers.
    explicit PortalColorScheme(const QDBusConnection &bus = QDBusConnection::sessionBus(),
                               std::chrono::milliseconds timeout = defaultTimeout, QObject *parent = nullptr);

    bool prefersDark() const override { return m_dark; }

private slots:
    void settingChanged(const QString &settingNamespace, const QString &key, const QDBusVariant &value);

private:
    void readLater(bool readOne = true);
    void setDark(bool dark);

    QDBusConnection m_bus;
    bool m_dark = false;
};

} // namespace vesko
