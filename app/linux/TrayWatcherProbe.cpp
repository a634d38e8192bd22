#include "TrayWatcherProbe.h"

#include <gio/gio.h>

namespace vesko {

bool statusNotifierWatcherRuns()
{
    GError *error = nullptr;
    // The shared connection is kept, not unreferenced: the keyring's client
    // takes the same one moments later.
    GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!bus) {
        g_clear_error(&error);
        return false;
    }
    constexpr int timeoutMs = 2000;
    GVariant *reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
        g_variant_new("(s)", "org.kde.StatusNotifierWatcher"), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE,
        timeoutMs, nullptr, &error);
    if (!reply) {
        g_clear_error(&error);
        return false;
    }
    gboolean owned = FALSE;
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
    return owned;
}

} // namespace vesko
