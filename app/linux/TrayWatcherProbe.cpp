#include "app/linux/TrayWatcherProbe.h"

#include <dbus/dbus.h>

namespace vesko {

bool statusNotifierWatcherRuns()
{
    // libdbus, which Qt D-Bus loads anyway: a private connection asked one
    // question in blocking calls, with no thread of its own, and closed
    // again. This sits between start and the tray item going up.
    DBusError error;
    dbus_error_init(&error);
    DBusConnection *bus = dbus_bus_get_private(DBUS_BUS_SESSION, &error);
    if (!bus) {
        dbus_error_free(&error);
        return false;
    }
    dbus_connection_set_exit_on_disconnect(bus, false);
    const bool owned = dbus_bus_name_has_owner(bus, "org.kde.StatusNotifierWatcher", &error);
    dbus_error_free(&error);
    dbus_connection_close(bus);
    dbus_connection_unref(bus);
    return owned;
}

} // namespace vesko
