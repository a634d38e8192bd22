#pragma once

#include <QDBusConnection>
#include <QDBusVariant>
#include <QObject>

#include <chrono>
#include <optional>

namespace vesko {

// Whether the light or the dark appearance is in force: the desktop's colour
// scheme as the XDG settings portal tells it (1, "prefer dark", is dark;
// anything else, or no portal at all, is light), followed as it changes.
class Appearance : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool dark READ isDark NOTIFY darkChanged)

public:
    static constexpr std::chrono::milliseconds defaultTimeout{250};

    // Asks the portal on `bus` at once and waits at most `timeout` for it; a
    // portal slower than that is heard when it answers. VESKO_APPEARANCE=dark
    // or light pins the appearance as setOverride() does.
    explicit Appearance(const QDBusConnection &bus = QDBusConnection::sessionBus(),
                        std::chrono::milliseconds timeout = defaultTimeout, QObject *parent = nullptr);

    bool isDark() const { return m_override.value_or(m_desktopDark); }

    // Pins the appearance whatever the desktop prefers (screenshots, tests);
    // std::nullopt follows the desktop again.
    void setOverride(std::optional<bool> dark);

signals:
    void darkChanged(bool dark);

private slots:
    void settingChanged(const QString &settingNamespace, const QString &key, const QDBusVariant &value);

private:
    void readLater(bool readOne = true);
    void setDesktopDark(bool dark);
    void notifyFrom(bool wasDark);

    QDBusConnection m_bus;
    bool m_desktopDark = false;
    std::optional<bool> m_override;
};

} // namespace vesko
