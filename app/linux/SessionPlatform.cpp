#include "app/linux/SessionPlatform.h"

using namespace Qt::StringLiterals;

namespace vesko {

QByteArray preferredPlatform(const QProcessEnvironment &environment)
{
    if (environment.contains(u"QT_QPA_PLATFORM"_s))
        return {};
    if (environment.value(u"XDG_SESSION_TYPE"_s) != u"wayland")
        return {};
    // Without an X server to reach there is no XWayland to go through.
    if (environment.value(u"DISPLAY"_s).isEmpty())
        return {};
    const QStringList desktops = environment.value(u"XDG_CURRENT_DESKTOP"_s).split(u':');
    if (!desktops.contains(u"GNOME"_s, Qt::CaseInsensitive))
        return {};
    return QByteArrayLiteral("xcb");
}

} // namespace vesko
