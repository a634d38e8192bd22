#include "app/linux/FreedesktopNotifier.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

const QString service = u"org.freedesktop.Notifications"_s;
const QString path = u"/org/freedesktop/Notifications"_s;
const QString interface = u"org.freedesktop.Notifications"_s;
const QString appId = u"app.vesko.Vesko"_s;

// Servers closing ours tell us; this only caps what one that never does costs.
constexpr qsizetype maxRemembered = 64;

// Servers that read the body as markup get service text escaped, so it
// stays plain text there too.
QString escaped(QString text)
{
    return text.replace(u'&', u"&amp;"_s).replace(u'<', u"&lt;"_s).replace(u'>', u"&gt;"_s);
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
    const bool subscribed =
        m_bus.connect(service, path, interface, u"ActionInvoked"_s, this, SLOT(actionInvoked(uint, QString)))
        && m_bus.connect(service, path, interface, u"NotificationClosed"_s, this, SLOT(notificationClosed(uint)));
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
    const QDBusMessage ask = QDBusMessage::createMethodCall(service, path, interface, u"GetCapabilities"_s);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(ask), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        const QDBusPendingReply<QStringList> reply = *call;
        // A server that cannot say is taken to read markup: escaped text
        // can look odd, unescaped text could be misread.
        m_bodyMarkup = !reply.isValid() || reply.value().contains(u"body-markup"_s);
        for (const Notification &waiting : std::exchange(m_waiting, {}))
            send(waiting);
    });
}

void FreedesktopNotifier::send(const Notification &notification)
{
    QVariantMap hints{{u"desktop-entry"_s, appId}};
    if (notification.sound.isEmpty())
        hints.insert(u"suppress-sound"_s, true);
    else
        hints.insert(u"sound-name"_s, notification.sound);

    QDBusMessage notify = QDBusMessage::createMethodCall(service, path, interface, u"Notify"_s);
    notify << u"Vesko"_s << uint(0) << appId << notification.title
           << (*m_bodyMarkup ? escaped(notification.body) : notification.body)
           << QStringList{u"default"_s, u"Open dashboard"_s} << hints << int(-1);
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
