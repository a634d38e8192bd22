// Notifications through a fake notification server on a private bus of the
// test's own: what Notify carries, which clicks count, and when a server is
// there at all.
#include "app/linux/FreedesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using vesko::FreedesktopNotifier;
using vesko::Notification;

namespace {

const QString serverName = u"org.freedesktop.Notifications"_s;
const QString serverPath = u"/org/freedesktop/Notifications"_s;

// A dbus-daemon with the session bus's rules that nobody else uses (so no
// notification server of the machine's own answers or is started there);
// `activatable` adds a service file for one, which never starts.
class PrivateBus
{
public:
    PrivateBus(const QString &name, bool activatable)
        : m_name(name)
    {
        const QString dir = m_dir.path();
        const auto write = [&](const QString &file, const QString &text) {
            QFile out(dir + u'/' + file);
            out.open(QIODevice::WriteOnly);
            out.write(text.toUtf8());
        };
        write(u"bus.conf"_s, uR"(<busconfig><type>session</type><listen>unix:dir=%1</listen><servicedir>%1</servicedir>
<policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/>
</policy></busconfig>)"_s.arg(dir));
        if (activatable)
            write(u"notifications.service"_s, u"[D-BUS Service]\nName=%1\nExec=/bin/false\n"_s.arg(serverName));
        m_daemon.start(QStringLiteral(VESKO_DBUS_DAEMON),
                       {u"--config-file="_s + dir + u"/bus.conf"_s, u"--nofork"_s, u"--print-address"_s});
        m_daemon.waitForReadyRead();
        m_address = QString::fromUtf8(m_daemon.readLine().trimmed());
    }
    ~PrivateBus()
    {
        QDBusConnection::disconnectFromBus(m_name);
        QDBusConnection::disconnectFromBus(m_name + u"-server"_s);
        m_daemon.terminate();
        m_daemon.waitForFinished();
    }
    QDBusConnection client() const { return QDBusConnection::connectToBus(m_address, m_name); }
    QDBusConnection server() const { return QDBusConnection::connectToBus(m_address, m_name + u"-server"_s); }

private:
    QString m_name;
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
};

} // namespace

// The server's side: records each Notify and hands out ids from 7 up.
class FakeServer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Call
    {
        QString appName, icon, summary, body;
        uint replaces;
        QStringList actions;
        QVariantMap hints;
        int timeout;
    };
    QList<Call> calls;
    QStringList capabilities{u"body"_s, u"body-markup"_s, u"actions"_s};

public slots:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString &appName, uint replaces, const QString &icon, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int timeout)
    {
        calls.append({appName, icon, summary, body, replaces, actions, hints, timeout});
        return uint(6 + calls.size());
    }
};

class NotificationsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<PrivateBus> m_bus;
    std::unique_ptr<FakeServer> m_server;

    // The fake owns the name and has answered one Notify.
    uint showOne(FreedesktopNotifier &notifier)
    {
        const qsizetype before = m_server->calls.size();
        notifier.show({u"Hi"_s, u"there"_s, {}});
        [&] { QTRY_COMPARE(m_server->calls.size(), before + 1); }();
        return uint(6 + m_server->calls.size());
    }
    void emitFromServer(const QString &member, const QVariantList &arguments)
    {
        QDBusMessage signal = QDBusMessage::createSignal(serverPath, serverName, member);
        signal.setArguments(arguments);
        m_bus->server().send(signal);
    }

private slots:
    void init()
    {
        m_bus = std::make_unique<PrivateBus>(u"test"_s, false);
        m_server = std::make_unique<FakeServer>();
        QDBusConnection server = m_bus->server();
        QVERIFY(server.isConnected());
        QVERIFY(server.registerObject(serverPath, m_server.get(), QDBusConnection::ExportAllSlots));
    }
    void cleanup()
    {
        m_server.reset();
        m_bus.reset();
    }

    void notifyCarries_data()
    {
        QTest::addColumn<Notification>("notification");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QVariantMap>("soundHints");
        QTest::addColumn<bool>("markup");
        QTest::newRow("with a sound") << Notification{u"New sale"_s, u"Pro plan"_s, u"message-new-instant"_s}
                                      << u"Pro plan"_s << QVariantMap{{u"sound-name"_s, u"message-new-instant"_s}}
                                      << true;
        QTest::newRow("silent") << Notification{u"New sale"_s, u"Pro plan"_s, {}} << u"Pro plan"_s
                                << QVariantMap{{u"suppress-sound"_s, true}} << true;
        QTest::newRow("markup stays text")
            << Notification{u"<b>A & B</b>"_s, u"<b>Tom & Jerry</b> > 2"_s, {}}
            << u"&lt;b&gt;Tom &amp; Jerry&lt;/b&gt; &gt; 2"_s << QVariantMap{{u"suppress-sound"_s, true}} << true;
        QTest::newRow("a server without markup gets it as is")
            << Notification{u"x"_s, u"<b>Tom & Jerry</b>"_s, {}} << u"<b>Tom & Jerry</b>"_s
            << QVariantMap{{u"suppress-sound"_s, true}} << false;
        QTest::newRow("entity stays text") << Notification{u"x"_s, u"&amp;"_s, {}} << u"&amp;amp;"_s
                                           << QVariantMap{{u"suppress-sound"_s, true}} << true;
    }
    void notifyCarries()
    {
        QFETCH(Notification, notification);
        QFETCH(QString, body);
        QFETCH(QVariantMap, soundHints);
        QFETCH(bool, markup);
        if (!markup)
            m_server->capabilities.removeAll(u"body-markup"_s);
        QVERIFY(m_bus->server().registerService(serverName));
        FreedesktopNotifier notifier(m_bus->client());
        notifier.show(notification);
        notifier.show(notification); // while the server is still being asked
        QTRY_COMPARE(m_server->calls.size(), 2);
        QCOMPARE(m_server->calls.last().body, body);
        const FakeServer::Call call = m_server->calls.first();
        QCOMPARE(call.appName, u"Vesko"_s);
        QCOMPARE(call.replaces, 0u);
        QCOMPARE(call.icon, u"app.vesko.Vesko"_s);
        QCOMPARE(call.summary, notification.title); // the summary is plain text by definition
        QCOMPARE(call.body, body);
        QCOMPARE(call.actions.value(0), u"default"_s);
        QCOMPARE(call.actions.size(), 2);
        soundHints.insert(u"desktop-entry"_s, u"app.vesko.Vesko"_s);
        QCOMPARE(call.hints, soundHints);
        QCOMPARE(call.timeout, -1);
    }

    // The server says `before`, then clicks ours; `heard` is how many of the
    // two count. A click on a later one of ours marks the end.
    void clicks_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("heard");
        QTest::newRow("our default action") << u"ours default"_s << 2;
        QTest::newRow("another notification") << u"other default"_s << 1;
        QTest::newRow("another action") << u"ours open"_s << 1;
        QTest::newRow("closed, then clicked") << u"closed"_s << 0;
    }
    void clicks()
    {
        QFETCH(QString, before);
        QFETCH(int, heard);
        QVERIFY(m_bus->server().registerService(serverName));
        FreedesktopNotifier notifier(m_bus->client());
        QSignalSpy clicked(&notifier, &FreedesktopNotifier::clicked);
        const uint ours = showOne(notifier);
        if (before == u"closed")
            emitFromServer(u"NotificationClosed"_s, {ours, 2u});
        else
            emitFromServer(u"ActionInvoked"_s, {before.startsWith(u"ours") ? ours : ours + 100,
                                                before.endsWith(u"default") ? u"default"_s : u"open"_s});
        emitFromServer(u"ActionInvoked"_s, {ours, u"default"_s});
        // Delivered in order: once a later one of ours arrived, so did what came before it.
        const uint marker = showOne(notifier);
        emitFromServer(u"ActionInvoked"_s, {marker, u"default"_s});
        QTRY_COMPARE(clicked.size(), heard + 1);
        QTest::qWait(20);
        QCOMPARE(clicked.size(), heard + 1);
    }

    void availableWhileAServerOwnsTheName()
    {
        FreedesktopNotifier notifier(m_bus->client());
        QVERIFY(!notifier.isAvailable());
        QVERIFY(m_bus->server().registerService(serverName));
        QVERIFY(notifier.isAvailable());
        QVERIFY(m_bus->server().unregisterService(serverName));
        QVERIFY(!notifier.isAvailable());
    }

    void availableWhenTheBusCanStartOne()
    {
        PrivateBus bus(u"activating"_s, true);
        QVERIFY(FreedesktopNotifier(bus.client()).isAvailable());
    }

    void withoutBus()
    {
        FreedesktopNotifier notifier(QDBusConnection::connectToBus(u"unix:path=/dev/null/no-bus"_s, u"none"_s));
        QVERIFY(!notifier.isAvailable());
        notifier.show({u"Hi"_s, {}, {}}); // nothing to send it to, and no harm done
        QDBusConnection::disconnectFromBus(u"none"_s);
    }
};

QTEST_GUILESS_MAIN(NotificationsTest)
#include "tst_notifications.moc"
