#pragma once

#include "app/ui/tray/DBusMenuTypes.h"

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

namespace vesko {

// One line of an exported menu.
struct MenuEntry
{
    int id = 0;    // > 0, unique in the menu
    QString label; // shown as is: no mnemonics
    bool separator = false;
    std::optional<bool> checked; // a check mark when set
    bool radio = false;          // checked as one of a group: a dot, not a mark
    bool enabled = true;

    bool operator==(const MenuEntry &) const = default;
};

// A flat menu exported as com.canonical.dbusmenu, the way a tray item hands
// its menu to the desktop's indicator host (GNOME's AppIndicator extension
// opens it on a left click). Only the host draws it; we answer its calls.
class DBusMenu : public QObject
{
    Q_OBJECT

public:
    explicit DBusMenu(QObject *parent = nullptr);
    ~DBusMenu() override;

    // Exported at `path` on `bus`; false when the path is taken or no bus.
    bool exportOn(QDBusConnection bus, const QString &path);

    // A change of labels, checks or enabled states alone is sent as property
    // updates, so that a menu the host has open follows it; any other change
    // as a new layout.
    void setEntries(const QList<MenuEntry> &entries);
    const QList<MenuEntry> &entries() const { return m_entries; }
    uint revision() const { return m_revision; }

signals:
    // The user picked an entry; delivered after the host's call was answered.
    void triggered(int id);
    // For the exported interface.
    void layoutUpdated(uint revision, int parent);
    void itemsPropertiesUpdated(const vesko::DBusMenuItemList &updated, const vesko::DBusMenuItemKeysList &removed);

private:
    friend class DBusMenuAdaptor;
    QVariantMap properties(const MenuEntry &entry, const QStringList &wanted) const;
    const MenuEntry *find(int id) const;
    void clicked(int id);

    QList<MenuEntry> m_entries;
    uint m_revision = 1;
};

} // namespace vesko
