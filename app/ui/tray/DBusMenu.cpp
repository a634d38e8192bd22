#include "app/ui/tray/DBusMenu.h"

#include "app/ui/tray/DBusMenuTypes.h"

#include <QDBusAbstractAdaptor>
#include <QTimer>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

// dbusmenu reads "_" as a mnemonic marker; a literal one is written twice.
QString escapedLabel(QString label)
{
    return label.replace(u'_', u"__"_s);
}

QVariantMap only(QVariantMap properties, const QStringList &wanted)
{
    if (wanted.isEmpty())
        return properties;
    for (auto it = properties.begin(); it != properties.end();)
        it = wanted.contains(it.key()) ? std::next(it) : properties.erase(it);
    return properties;
}

QVariantMap rootProperties()
{
    return {{u"children-display"_s, u"submenu"_s}};
}

} // namespace

// The protocol's surface: names and signatures as indicator hosts call them.
class DBusMenuAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)

public:
    explicit DBusMenuAdaptor(DBusMenu *menu)
        : QDBusAbstractAdaptor(menu),
          m_menu(menu)
    {
        setAutoRelaySignals(false);
        connect(menu, &DBusMenu::layoutUpdated, this, &DBusMenuAdaptor::LayoutUpdated);
        connect(menu, &DBusMenu::itemsPropertiesUpdated, this, &DBusMenuAdaptor::ItemsPropertiesUpdated);
    }

    uint version() const { return 3; }
    QString textDirection() const { return u"ltr"_s; }
    QString status() const { return u"normal"_s; }
    QStringList iconThemePath() const { return {}; }

public slots:
    uint GetLayout(int parentId, int recursionDepth, const QStringList &propertyNames,
                   vesko::DBusMenuLayoutItem &layout)
    {
        layout = {};
        layout.id = parentId;
        if (parentId == 0) {
            layout.properties = only(rootProperties(), propertyNames);
            if (recursionDepth != 0) {
                for (const MenuEntry &entry : m_menu->m_entries)
                    layout.children << DBusMenuLayoutItem{entry.id, m_menu->properties(entry, propertyNames), {}};
            }
        } else if (const MenuEntry *entry = m_menu->find(parentId)) {
            layout.properties = m_menu->properties(*entry, propertyNames);
        }
        return m_menu->m_revision;
    }

    vesko::DBusMenuItemList GetGroupProperties(const QList<int> &ids, const QStringList &propertyNames)
    {
        DBusMenuItemList items;
        for (const MenuEntry &entry : m_menu->m_entries) {
            if (ids.isEmpty() || ids.contains(entry.id))
                items << DBusMenuItem{entry.id, m_menu->properties(entry, propertyNames)};
        }
        if (ids.contains(0))
            items.prepend(DBusMenuItem{0, only(rootProperties(), propertyNames)});
        return items;
    }

    QDBusVariant GetProperty(int id, const QString &name)
    {
        const MenuEntry *entry = m_menu->find(id);
        const QVariantMap properties = entry ? m_menu->properties(*entry, {name}) : only(rootProperties(), {name});
        return QDBusVariant(properties.value(name, QString()));
    }

    void Event(int id, const QString &eventId, const QDBusVariant &, uint)
    {
        if (eventId == u"clicked")
            m_menu->clicked(id);
    }

    QList<int> EventGroup(const vesko::DBusMenuEventList &events)
    {
        QList<int> unknown;
        for (const DBusMenuEvent &event : events) {
            if (!m_menu->find(event.id))
                unknown << event.id;
            else if (event.eventId == u"clicked")
                m_menu->clicked(event.id);
        }
        return unknown;
    }

    bool AboutToShow(int) { return false; }

    QList<int> AboutToShowGroup(const QList<int> &, QList<int> &idErrors)
    {
        idErrors.clear();
        return {};
    }

signals:
    void LayoutUpdated(uint revision, int parent);
    void ItemsPropertiesUpdated(const vesko::DBusMenuItemList &updatedProps,
                                const vesko::DBusMenuItemKeysList &removedProps);
    void ItemActivationRequested(int id, uint timestamp);

private:
    DBusMenu *m_menu;
};

DBusMenu::DBusMenu(QObject *parent)
    : QObject(parent)
{
    registerDBusMenuTypes();
    new DBusMenuAdaptor(this);
}

DBusMenu::~DBusMenu() = default;

bool DBusMenu::exportOn(QDBusConnection bus, const QString &path)
{
    return bus.isConnected() && bus.registerObject(path, this, QDBusConnection::ExportAdaptors);
}

void DBusMenu::setEntries(const QList<MenuEntry> &entries)
{
    if (entries == m_entries)
        return;
    const auto sameShape = [](const MenuEntry &a, const MenuEntry &b) {
        return a.id == b.id && a.separator == b.separator;
    };
    const QList<MenuEntry> old = std::exchange(m_entries, entries);
    if (!std::equal(old.begin(), old.end(), entries.begin(), entries.end(), sameShape)) {
        ++m_revision;
        emit layoutUpdated(m_revision, 0);
        return;
    }
    DBusMenuItemList updated;
    DBusMenuItemKeysList removed;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (entries[i] == old[i])
            continue;
        updated << DBusMenuItem{entries[i].id, properties(entries[i], {})};
        if (old[i].checked && !entries[i].checked)
            removed << DBusMenuItemKeys{entries[i].id, {u"toggle-type"_s, u"toggle-state"_s}};
    }
    emit itemsPropertiesUpdated(updated, removed);
}

QVariantMap DBusMenu::properties(const MenuEntry &entry, const QStringList &wanted) const
{
    QVariantMap properties;
    if (entry.separator) {
        properties.insert(u"type"_s, u"separator"_s);
    } else {
        properties.insert(u"label"_s, escapedLabel(entry.label));
        properties.insert(u"enabled"_s, entry.enabled);
        if (entry.checked) {
            properties.insert(u"toggle-type"_s, entry.radio ? u"radio"_s : u"checkmark"_s);
            properties.insert(u"toggle-state"_s, *entry.checked ? 1 : 0);
        }
    }
    properties.insert(u"visible"_s, true);
    return only(properties, wanted);
}

const MenuEntry *DBusMenu::find(int id) const
{
    for (const MenuEntry &entry : m_entries) {
        if (entry.id == id)
            return &entry;
    }
    return nullptr;
}

void DBusMenu::clicked(int id)
{
    const MenuEntry *entry = find(id);
    if (!entry || entry->separator || !entry->enabled)
        return;
    // After the reply: what a click does may take a while or show a window.
    QTimer::singleShot(0, this, [this, id] { emit triggered(id); });
}

} // namespace vesko

#include "DBusMenu.moc"
