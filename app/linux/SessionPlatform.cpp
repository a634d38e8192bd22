#include "SessionPlatform.h"

namespace vesko {

QByteArray preferredPlatform(const QProcessEnvironment &environment)
{
    if (environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
        return {};
    if (environment.value(QStringLiteral("XDG_SESSION_TYPE")) != u"wayland")
        return {};
    // Without an X server to reach there is no XWayland to go through.
    if (environment.value(QStringLiteral("DISPLAY")).isEmpty())
        return {};
    const QStringList desktops = environment.value(QStringLiteral("XDG_CURRENT_DESKTOP")).split(u':');
    if (!desktops.contains(QStringLiteral("GNOME"), Qt::CaseInsensitive))
        return {};
    return QByteArrayLiteral("xcb");
}

} // namespace vesko
