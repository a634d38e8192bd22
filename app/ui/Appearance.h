#pragma once

#include <QObject>

#include <optional>

namespace vesko {

class ColorScheme;

// Whether the light or the dark appearance is in force: the desktop's colour
// scheme, unless something pinned one.
class Appearance : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool dark READ isDark NOTIFY darkChanged)

public:
    // Follows `desktop`, which outlives it. VESKO_APPEARANCE=dark or light
    // pins the appearance as setOverride() does.
    explicit Appearance(const ColorScheme &desktop, QObject *parent = nullptr);

    bool isDark() const { return m_override.value_or(m_desktopDark); }

    // Pins the appearance whatever the desktop prefers (screenshots, tests);
    // std::nullopt follows the desktop again.
    void setOverride(std::optional<bool> dark);

signals:
    void darkChanged(bool dark);

private:
    void setDesktopDark(bool dark);
    void notifyFrom(bool wasDark);

    bool m_desktopDark = false;
    std::optional<bool> m_override;
};

} // namespace vesko
