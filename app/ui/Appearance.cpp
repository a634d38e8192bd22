#include "app/ui/Appearance.h"

#include "app/core/ColorScheme.h"

namespace vesko {

namespace {

std::optional<bool> pinnedByEnvironment()
{
    const QByteArray pinned = qgetenv("VESKO_APPEARANCE");
    if (pinned == "dark")
        return true;
    if (pinned == "light")
        return false;
    return std::nullopt;
}

} // namespace

Appearance::Appearance(const ColorScheme &desktop, QObject *parent)
    : QObject(parent),
      m_desktopDark(desktop.prefersDark()),
      m_override(pinnedByEnvironment())
{
    connect(&desktop, &ColorScheme::prefersDarkChanged, this, &Appearance::setDesktopDark);
}

void Appearance::setOverride(std::optional<bool> dark)
{
    const bool wasDark = isDark();
    m_override = dark;
    notifyFrom(wasDark);
}

void Appearance::setDesktopDark(bool dark)
{
    const bool wasDark = isDark();
    m_desktopDark = dark;
    notifyFrom(wasDark);
}

void Appearance::notifyFrom(bool wasDark)
{
    if (isDark() != wasDark)
        emit darkChanged(isDark());
}

} // namespace vesko
