#pragma once

namespace vesko {

// Whether a StatusNotifierWatcher is on the session bus now. Asked before
// the application object exists (it decides whether Vesko needs widgets for
// the old system tray), hence through libdbus rather than Qt D-Bus. False
// when there is no session bus.
bool statusNotifierWatcherRuns();

} // namespace vesko
