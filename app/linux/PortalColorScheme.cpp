#include "app/linux/PortalColorScheme.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDeadlineTimer>

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

const QString portalService = u"org.freedesktop.portal.Desktop"_s;
const QString portalPath = u"/org/freedesktop/portal/desktop"_s;
const QString settingsInterface = u"org.freedesktop.portal.Settings"_s;
const QString appearanceNamespace = u"org.freedesktop.appearance"_s;
const QString colorSchemeKey = u"color-scheme"_s;

// ReadOne answers the value in a variant; the older Read, which portals before
// ReadOne offer alone, wraps that in one more.
QDBusMessage readCall(bool readOne)
{
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, settingsInterface,
                                                       readOne ? u"ReadOne"_s : u"Read"_s);
    call << appearanceNamespace << colorSchemeKey;
    return call;
}

bool isUnknownMethod(const QDBusMessage &reply)
{
    return reply.type() == QDBusMessage::ErrorMessage
           && reply.errorName() == u"org.freedesktop.DBus.Error.UnknownMethod";
}

bool isUnanswered(const QDBusMessage &reply)
{
    return reply.type() == QDBusMessage::ErrorMessage
           && (reply.errorName() == u"org.freedesktop.DBus.Error.NoReply"
               || reply.errorName() == u"org.freedesktop.DBus.Error.Timeout");
}

// Only a uint32 1 asks for dark; 0 (no preference), 2 (light) and whatever
// else a portal may send mean light.
bool meansDark(QVariant value)
{
    for (int depth = 0; depth < 2 && value.metaType() == QMetaType::fromType<QDBusVariant>(); ++depth)
        value = value.value<QDBusVariant>().variant();
    return value.metaType() == QMetaType::fromType<uint>() && value.toUInt() == 1;
}

std::optional<bool> meansDark(const QDBusMessage &reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
        return std::nullopt;
    return meansDark(reply.arguments().constFirst());
}

} // namespace

PortalColorScheme::PortalColorScheme(const QDBusConnection &bus, std::chrono::milliseconds timeout, QObject *parent)
    : ColorScheme(parent),
      m_bus(bus)
{
    if (!m_bus.isConnected())
        return;
    // Subscribed before asking, so that no change falls between the answer and
    // the subscription. Naming the service makes QtDBus take the signal from
    // its current owner only.
    // QtDBus finds the slot's parameter types by name; QDBusVariant's is only
    // known once something registered it, and without it the first
    // subscription of the process fails, silently.
    qRegisterMetaType<QDBusVariant>("QDBusVariant");
    const bool subscribed = m_bus.connect(portalService, portalPath, settingsInterface, u"SettingChanged"_s, this,
                                          SLOT(settingChanged(QString, QString, QDBusVariant)));
    if (!subscribed)
        qWarning("PortalColorScheme: cannot follow the desktop's colour scheme: %s",
                 qPrintable(m_bus.lastError().message()));
    Q_ASSERT_X(subscribed, "PortalColorScheme", "SettingChanged subscription refused");
    // A portal that starts (or restarts) after us is asked then.
    auto *watcher = new QDBusServiceWatcher(portalService, m_bus, QDBusServiceWatcher::WatchForRegistration, this);
    connect(watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] { readLater(); });

    // The first answer is waited for, so that the first frame has the right
    // colours; Block rather than BlockWithGui, so that nothing runs meanwhile.
    const QDeadlineTimer deadline(timeout);
    const auto remainingMs = [&] { return int(std::max<qint64>(1, deadline.remainingTime())); };
    QDBusMessage reply = m_bus.call(readCall(true), QDBus::Block, remainingMs());
    if (isUnknownMethod(reply))
        reply = m_bus.call(readCall(false), QDBus::Block, remainingMs());
    if (const std::optional<bool> dark = meansDark(reply))
        m_dark = *dark;
    else if (isUnanswered(reply))
        readLater(); // a portal still starting up is heard when it answers
}

void PortalColorScheme::settingChanged(const QString &settingNamespace, const QString &key, const QDBusVariant &value)
{
    if (settingNamespace == appearanceNamespace && key == colorSchemeKey)
        setDark(meansDark(value.variant()));
}

void PortalColorScheme::readLater(bool readOne)
{
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(readCall(readOne)), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, readOne](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        const QDBusMessage reply = call->reply();
        if (readOne && isUnknownMethod(reply))
            return readLater(false);
        if (const std::optional<bool> dark = meansDark(reply))
            setDark(*dark);
    });
}

void PortalColorScheme::setDark(bool dark)
{
    if (dark == m_dark)
        return;
    m_dark = dark;
    emit prefersDarkChanged(dark);
}

} // namespace vesko
