#pragma once

#include <QByteArray>
#include <QProcessEnvironment>

namespace vesko {

// The Qt platform to ask for before the application starts, or empty for
// Qt's own choice. GNOME on Wayland lets no client place its windows and
// draws no title bars for Qt's: through XWayland the drop-down opens at the
// tray item, stays out of Alt+Tab, and windows get the shell's decorations.
// A platform the user chose (QT_QPA_PLATFORM) always wins.
QByteArray preferredPlatform(const QProcessEnvironment &environment);

} // namespace vesko
