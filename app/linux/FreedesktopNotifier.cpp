#include "FreedesktopNotifier.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace vesko {

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");
const QString appId = QStringLiteral("app.vesko.Vesko");

// Servers closing ours tell us; this only caps what one that never does costs.
constexpr qsizetype maxRemembered = 64;

// Servers that read the body as markup get service text escaped, so it
// stays plain text there too.
QString escaped(QString text)
{
    return text.replace(u'&', QStringLiteral("&amp;"))
        .replace(u'<', QStringLiteral("&lt;"))
        .replace(u'>', QStringLiteral("&gt;"));
}

} // namespace

FreedesktopNotifier::FreedesktopNotifier(QDBusConnection bus, QObject *parent)
    : Notifier(parent),
      m_bus(std::move(bus))
{
    if (!m_bus.isConnected())
        return;
    // Naming the service makes QtDBus follow its owner: nobody else's signals count.
    // Signatures as QtDBus looks them up: normalised, or the subscription
    // silently fails.
    const bool subscribed = m_bus.connect(service, path, interface, QStringLiteral("ActionInvoked"), this,
                                          SLOT(actionInvoked(uint, QString)))
                            && m_bus.connect(service, path, interface, QStringLiteral("NotificationClosed"), this,
                                             SLOT(notificationClosed(uint)));
    if (!subscribed)
        qWarning("Notifications: clicks will go unheard: %s", qPrintable(m_bus.lastError().message()));
    Q_ASSERT_X(subscribed, "FreedesktopNotifier", "signal subscription refused");
}

bool FreedesktopNotifier::isAvailable()
{
    QDBusConnectionInterface *bus = m_bus.isConnected() ? m_bus.interface() : nullptr;
    if (!bus)
        return false;
    if (bus->isServiceRegistered(service))
        return true;
    // Not running yet, but the bus starts it on the first call.
    const QDBusReply<QStringList> activatable = bus->activatableServiceNames();
    return activatable.isValid() && activatable.value().contains(service);
}

void FreedesktopNotifier::show(const Notification &notification)
{
    if (!m_bus.isConnected())
        return;
    if (m_bodyMarkup) {
        send(notification);
        return;
    }
    m_waiting.append(notification);
    if (m_waiting.size() > 1)
        return;
    const QDBusMessage ask =
        QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("GetCapabilities"));
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(ask), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        const QDBusPendingReply<QStringList> reply = *call;
        // A server that cannot say is taken to read markup: escaped text
        // can look odd, unescaped text could be misread.
        m_bodyMarkup = !reply.isValid() || reply.value().contains(QStringLiteral("body-markup"));
        for (const Notification &waiting : std::exchange(m_waiting, {}))
            send(waiting);
    });
}

void FreedesktopNotifier::send(const Notification &notification)
{
    QVariantMap hints{{QStringLiteral("desktop-entry"), appId}};
    if (notification.sound.isEmpty())
        hints.insert(QStringLiteral("suppress-sound"), true);
    else
        hints.insert(QStringLiteral("sound-name"), notification.sound);

    QDBusMessage notify = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Notify"));
    notify << QStringLiteral("Vesko") << uint(0) << appId << notification.title
           << (*m_bodyMarkup ? escaped(notification.body) : notification.body)
           << QStringList{QStringLiteral("default"), QStringLiteral("Open dashboard")} << hints << int(-1);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(notify), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        const QDBusPendingReply<uint> reply = *call;
        if (!reply.isValid() || reply.value() == 0)
            return;
        m_ours.append(reply.value());
        if (m_ours.size() > maxRemembered)
            m_ours.removeFirst();
    });
}

void FreedesktopNotifier::actionInvoked(uint id, const QString &action)
{
    if (action == u"default" && m_ours.contains(id))
        emit clicked();
}

void FreedesktopNotifier::notificationClosed(uint id)
{
    m_ours.removeOne(id);
}

} // namespace vesko
