#pragma once

#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QVariantMap>

namespace vesko {

// The structures of the com.canonical.dbusmenu protocol, as QtDBus marshals them.

// (ia{sv}av): an item, its properties and its children, each child wrapped in
// a variant (the protocol's way to nest a structure in itself).
struct DBusMenuLayoutItem
{
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayoutItem> children;
};

// (ia{sv}): one item's properties.
struct DBusMenuItem
{
    int id = 0;
    QVariantMap properties;
};

// (ias): names of properties taken away from an item.
struct DBusMenuItemKeys
{
    int id = 0;
    QStringList properties;
};

// (isvu): one event of an EventGroup call.
struct DBusMenuEvent
{
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};

using DBusMenuItemList = QList<DBusMenuItem>;
using DBusMenuItemKeysList = QList<DBusMenuItemKeys>;
using DBusMenuEventList = QList<DBusMenuEvent>;

// Once per process, before a menu is exported or read.
void registerDBusMenuTypes();

QDBusArgument &operator<<(QDBusArgument &argument, const DBusMenuLayoutItem &item);
const QDBusArgument &operator>>(const QDBusArgument &argument, DBusMenuLayoutItem &item);
QDBusArgument &operator<<(QDBusArgument &argument, const DBusMenuItem &item);
const QDBusArgument &operator>>(const QDBusArgument &argument, DBusMenuItem &item);
QDBusArgument &operator<<(QDBusArgument &argument, const DBusMenuItemKeys &keys);
const QDBusArgument &operator>>(const QDBusArgument &argument, DBusMenuItemKeys &keys);
QDBusArgument &operator<<(QDBusArgument &argument, const DBusMenuEvent &event);
const QDBusArgument &operator>>(const QDBusArgument &argument, DBusMenuEvent &event);

} // namespace vesko

Q_DECLARE_METATYPE(vesko::DBusMenuLayoutItem)
Q_DECLARE_METATYPE(vesko::DBusMenuItem)
Q_DECLARE_METATYPE(vesko::DBusMenuItemKeys)
Q_DECLARE_METATYPE(vesko::DBusMenuEvent)
