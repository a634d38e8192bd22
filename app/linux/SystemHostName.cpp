#include "app/linux/SystemHostName.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

// hostnamed's properties, or none when it does not answer in time. One
// GetAll, so the wait is bounded by a single timeout.
QVariantMap hostnamedProperties(std::chrono::milliseconds timeout)
{
    const QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return {};
    QDBusMessage call = QDBusMessage::createMethodCall(u"org.freedesktop.hostname1"_s, u"/org/freedesktop/hostname1"_s,
                                                       u"org.freedesktop.DBus.Properties"_s, u"GetAll"_s);
    call << u"org.freedesktop.hostname1"_s;
    // Block, not BlockWithGui: no events are handled while we wait.
    const QDBusMessage reply = bus.call(call, QDBus::Block, int(timeout.count()));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
        return {};
    // Read as a map only what is one: anything else would be misread.
    const QVariant answer = reply.arguments().constFirst();
    if (answer.typeId() != qMetaTypeId<QDBusArgument>() || answer.value<QDBusArgument>().currentSignature() != u"a{sv}")
        return {};
    return qdbus_cast<QVariantMap>(answer);
}

// Only a string counts; a number would otherwise pass as its digits.
QString text(const QVariantMap &properties, const QString &key)
{
    const QVariant value = properties.value(key);
    return value.typeId() == QMetaType::QString ? value.toString().trimmed() : QString();
}

// The names systemd also treats as no name at all.
bool isLocalhost(QString name)
{
    if (name.endsWith(u'.'))
        name.chop(1);
    name = name.toLower();
    return name == u"localhost" || name == u"localhost.localdomain" || name.endsWith(u".localhost")
           || name.endsWith(u".localhost.localdomain");
}

} // namespace

SystemHostName::SystemHostName(std::chrono::milliseconds timeout, std::function<QString()> kernelHostName)
    : m_timeout(timeout),
      m_kernelHostName(std::move(kernelHostName))
{}

QString SystemHostName::userVisibleName() const
{
    const QVariantMap properties = hostnamedProperties(m_timeout);
    // Whatever the user typed as the pretty name is theirs, "localhost" too.
    if (QString pretty = text(properties, u"PrettyHostname"_s); !pretty.isEmpty())
        return pretty;
    const QString candidates[] = {text(properties, u"StaticHostname"_s), text(properties, u"Hostname"_s),
                                  m_kernelHostName().trimmed()};
    for (const QString &name : candidates) {
        if (!name.isEmpty() && !isLocalhost(name))
            return name;
    }
    return {};
}

} // namespace vesko
