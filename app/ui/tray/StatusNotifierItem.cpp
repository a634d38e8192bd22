#include "app/ui/tray/StatusNotifierItem.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QFile>

using namespace Qt::StringLiterals;

namespace vesko {

// The exported interface, as StatusNotifierWatcher hosts read it. Ayatana's
// label extension (XAyatanaLabel) is what lets GNOME, Unity, Xfce and MATE
// hosts draw the figure beside the icon.
class StatusNotifierItemAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(vesko::SniPixmapList IconPixmap READ iconPixmap)
    Q_PROPERTY(QString IconThemePath READ iconThemePath)
    Q_PROPERTY(QString IconAccessibleDesc READ title)
    Q_PROPERTY(QString OverlayIconName READ empty)
    Q_PROPERTY(vesko::SniPixmapList OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ empty)
    Q_PROPERTY(vesko::SniPixmapList AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ empty)
    Q_PROPERTY(vesko::SniToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
    Q_PROPERTY(QString XAyatanaLabel READ label)
    Q_PROPERTY(QString XAyatanaLabelGuide READ labelGuide)
    Q_PROPERTY(uint XAyatanaOrderingIndex READ orderingIndex)

public:
    explicit StatusNotifierItemAdaptor(StatusNotifierItem *item)
        : QDBusAbstractAdaptor(item),
          m_item(item)
    {
        setAutoRelaySignals(false);
        connect(item, &StatusNotifierItem::newTitle, this, &StatusNotifierItemAdaptor::NewTitle);
        connect(item, &StatusNotifierItem::newIcon, this, &StatusNotifierItemAdaptor::NewIcon);
        connect(item, &StatusNotifierItem::newToolTip, this, &StatusNotifierItemAdaptor::NewToolTip);
        connect(item, &StatusNotifierItem::newLabel, this, &StatusNotifierItemAdaptor::XAyatanaNewLabel);
        connect(item, &StatusNotifierItem::newIcon, this,
                [this] { emit NewIconThemePath(m_item->m_content.iconThemePath); });
    }

    QString category() const { return u"ApplicationStatus"_s; }
    QString id() const { return m_item->m_id; }
    QString title() const { return m_item->m_content.title; }
    QString status() const { return u"Active"_s; }
    int windowId() const { return 0; }
    QString iconName() const { return m_item->m_content.iconName; }
    SniPixmapList iconPixmap() const { return m_item->m_content.icon; }
    QString iconThemePath() const { return m_item->m_content.iconThemePath; }
    QString empty() const { return {}; }
    SniPixmapList noPixmaps() const { return {}; }
    SniToolTip toolTip() const { return {{}, {}, m_item->m_content.toolTipTitle, m_item->m_content.toolTipText}; }
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const { return QDBusObjectPath(StatusNotifierItem::menuPath); }
    QString label() const { return m_item->m_content.label; }
    QString labelGuide() const { return m_item->m_content.labelGuide; }
    uint orderingIndex() const { return 0; }

public slots:
    void Activate(int x, int y) { emit m_item->activateRequested(QPoint(x, y)); }
    // Hosts without menu support ask for one here; the panel is our menu.
    void ContextMenu(int x, int y) { emit m_item->activateRequested(QPoint(x, y)); }
    void SecondaryActivate(int, int) {}
    void Scroll(int, const QString &) {}
    void ProvideXdgActivationToken(const QString &token) { emit m_item->activationTokenProvided(token); }

signals:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString &status);
    void NewIconThemePath(const QString &path);
    void XAyatanaNewLabel(const QString &label, const QString &guide);

private:
    StatusNotifierItem *m_item;
};

namespace {
constexpr int reregisterDelayMs = 1000;
constexpr int maximumReregistrations = 5;
} // namespace

StatusNotifierItem::StatusNotifierItem(const QString &id, QDBusConnection bus, QObject *parent)
    : QObject(parent),
      m_id(id),
      m_bus(std::move(bus))
{
    registerStatusNotifierTypes();
    new StatusNotifierItemAdaptor(this);
    m_reregister.setSingleShot(true);
    m_reregister.setInterval(reregisterDelayMs);
    connect(&m_reregister, &QTimer::timeout, this, &StatusNotifierItem::registerWithWatcher);
}

StatusNotifierItem::~StatusNotifierItem()
{
    if (m_started) {
        m_bus.unregisterObject(QString::fromLatin1(objectPath));
        m_bus.unregisterService(m_serviceName);
    }
}

bool StatusNotifierItem::start()
{
    if (m_started)
        return true;
    if (!m_bus.isConnected())
        return false;
    // The name hosts expect; one item per process.
    m_serviceName = u"org.kde.StatusNotifierItem-%1-1"_s.arg(QCoreApplication::applicationPid());
    if (!m_bus.registerObject(QString::fromLatin1(objectPath), this, QDBusConnection::ExportAdaptors))
        return false;
    if (!m_bus.registerService(m_serviceName))
        m_serviceName = m_bus.baseService();
    m_started = true;

    m_watcher = new QDBusServiceWatcher(QString::fromLatin1(watcherService), m_bus,
                                        QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) {
                setRegistered(false);
                m_reregistrations = 0;
                if (!newOwner.isEmpty())
                    registerWithWatcher();
            });
    // A host may drop a live item: GNOME's extension does when an item
    // registers while it is still setting itself up. We are still here, so
    // we register again, a few times at most for a host that keeps refusing.
    [[maybe_unused]] const bool watching = m_bus.connect(
        QString::fromLatin1(watcherService), u"/StatusNotifierWatcher"_s, QString::fromLatin1(watcherService),
        u"StatusNotifierItemUnregistered"_s, this, SLOT(watcherDropped(QString)));
    Q_ASSERT(watching);
    registerWithWatcher();
    return true;
}

bool StatusNotifierItem::isOwnWatcherName(const QString &name) const
{
    for (const QString &own : {watcherName(), m_serviceName}) {
        if (own.isEmpty() || !name.startsWith(own))
            continue;
        if (name.size() == own.size() || name.at(own.size()) == u'/' || name.at(own.size()) == u'@')
            return true;
    }
    return false;
}

void StatusNotifierItem::watcherDropped(const QString &service)
{
    if (!m_started || !isOwnWatcherName(service))
        return;
    setRegistered(false);
    if (m_reregistrations++ < maximumReregistrations)
        m_reregister.start();
}

bool StatusNotifierItem::watcherPresent() const
{
    const QDBusConnectionInterface *bus = m_bus.interface();
    return bus && bus->isServiceRegistered(QString::fromLatin1(watcherService)).value();
}

void StatusNotifierItem::registerWithWatcher()
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(watcherService), u"/StatusNotifierWatcher"_s,
                                       QString::fromLatin1(watcherService), u"RegisterStatusNotifierItem"_s);
    // The unique name, not the well-known one: given a well-known name,
    // GNOME's AppIndicator extension also watches that name, and when the
    // watch reports in after the item's properties came (on a busy bus, at
    // login) it wipes them and drops the item, again on every retry.
    call << watcherName();
    auto *pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        setRegistered(!finished->isError());
        if (m_registered)
            learnHostProgram();
    });
}

void StatusNotifierItem::learnHostProgram()
{
    QDBusMessage call = QDBusMessage::createMethodCall(u"org.freedesktop.DBus"_s, u"/org/freedesktop/DBus"_s,
                                                       u"org.freedesktop.DBus"_s, u"GetConnectionUnixProcessID"_s);
    call << QString::fromLatin1(watcherService);
    auto *pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        const QDBusMessage reply = finished->reply();
        if (!m_registered || reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return;
        QFile comm(u"/proc/%1/comm"_s.arg(reply.arguments().constFirst().toUInt()));
        if (comm.open(QIODevice::ReadOnly))
            setHostProgram(QString::fromUtf8(comm.read(64)).trimmed());
    });
}

void StatusNotifierItem::setHostProgram(const QString &program)
{
    if (program == m_hostProgram)
        return;
    m_hostProgram = program;
    emit hostProgramChanged();
}

void StatusNotifierItem::setRegistered(bool registered)
{
    if (registered == m_registered)
        return;
    m_registered = registered;
    if (!registered)
        setHostProgram({});
    emit registeredChanged(registered);
}

void StatusNotifierItem::setContent(const Content &content)
{
    const Content old = std::exchange(m_content, content);
    if (old.title != content.title)
        emit newTitle();
    if (old.icon != content.icon || old.iconName != content.iconName || old.iconThemePath != content.iconThemePath)
        emit newIcon();
    if (old.toolTipTitle != content.toolTipTitle || old.toolTipText != content.toolTipText)
        emit newToolTip();
    if (old.label != content.label || old.labelGuide != content.labelGuide)
        emit newLabel(content.label, content.labelGuide);
}

} // namespace vesko

#include "StatusNotifierItem.moc"
