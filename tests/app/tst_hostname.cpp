// The computer's name, from a fake hostnamed on a throwaway system bus; and,
// with VESKO_TEST_NO_SYSTEM_BUS set, where there is no system bus at all.
#include "SystemHostName.h"
#include "fakebus_ThrowawaySystemBus.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QTest>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>

#include <optional>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using vesko::SystemHostName;

namespace {

const QString hostnamedName = QStringLiteral("org.freedesktop.hostname1");
const QString hostnamedPath = QStringLiteral("/org/freedesktop/hostname1");

// Well under the bound a stuck hostnamed may cost, and well over a busy
// machine's hiccup.
constexpr auto testTimeout = 300ms;
constexpr qint64 patienceMs = 2000;

// hostnamed, answering GetAll from a thread of its own: the name is asked
// for with a blocking call, which a fake served by the caller's own thread
// could never answer.
class FakeHostnamed : public QDBusVirtualObject
{
public:
    // A null answer: calls are taken and never answered.
    explicit FakeHostnamed(QVariant answer) : m_answer(std::move(answer)) {}

    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (m_answer.isNull())
            return true;
        if (message.interface() == u"org.freedesktop.DBus.Properties" && message.member() == u"GetAll"
            && message.arguments().value(0).toString() == hostnamedName)
            connection.send(message.createReply(m_answer));
        else
            connection.send(message.createErrorReply(QDBusError::UnknownMethod, message.member()));
        return true;
    }

private:
    const QVariant m_answer;
};

// A hostnamed on the bus for as long as it lives.
class HostnamedOnBus
{
public:
    HostnamedOnBus(const QString &address, QVariant answer)
        : m_bus(QDBusConnection::connectToBus(address, QStringLiteral("hostnamed"))), m_fake(std::move(answer))
    {
        m_thread.start();
        m_fake.moveToThread(&m_thread);
        m_registered = m_bus.registerVirtualObject(hostnamedPath, &m_fake) && m_bus.registerService(hostnamedName);
    }
    ~HostnamedOnBus()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("hostnamed"));
        m_thread.quit();
        m_thread.wait();
    }
    bool isRegistered() const { return m_registered; }

private:
    QDBusConnection m_bus;
    QThread m_thread;
    FakeHostnamed m_fake;
    bool m_registered = false;
};

QString nameWithKernelName(const QString &kernelName)
{
    return SystemHostName(testTimeout, [=] { return kernelName; }).userVisibleName();
}

} // namespace

class HostNameTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString failure = m_bus.start();
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        qDBusRegisterMetaType<QMap<QString, QString>>();
    }

    void fromHostnamed_data()
    {
        QTest::addColumn<QVariant>("answer");
        QTest::addColumn<QString>("kernel");
        QTest::addColumn<QString>("expected");
        const auto names = [](const QVariant &pretty, const QVariant &stat, const QVariant &transient) {
            return QVariant(QVariantMap{{QStringLiteral("PrettyHostname"), pretty},
                                        {QStringLiteral("StaticHostname"), stat},
                                        {QStringLiteral("Hostname"), transient},
                                        {QStringLiteral("Chassis"), QStringLiteral("laptop")}});
        };
        QTest::newRow("pretty name") << names(u"Jane’s Laptop"_s, u"janes-laptop"_s, u"dhcp-12"_s) << "kernel-name"
                                     << u"Jane’s Laptop"_s;
        QTest::newRow("pretty name trimmed") << names(u"  Studio  "_s, u"studio"_s, u"studio"_s) << "kernel-name" << "Studio";
        QTest::newRow("pretty localhost kept") << names(u"localhost"_s, u"box"_s, u"box"_s) << "kernel-name" << "localhost";
        QTest::newRow("no pretty name") << names(u""_s, u"janes-laptop"_s, u"dhcp-12"_s) << "kernel-name" << "janes-laptop";
        QTest::newRow("blank pretty name") << names(u" \t"_s, u"janes-laptop"_s, u"dhcp-12"_s) << "kernel-name"
                                           << "janes-laptop";
        QTest::newRow("pretty not a string") << names(42, u"janes-laptop"_s, u"dhcp-12"_s) << "kernel-name" << "janes-laptop";
        QTest::newRow("transient only") << names(u""_s, u""_s, u"dhcp-12"_s) << "kernel-name" << "dhcp-12";
        QTest::newRow("static localhost") << names(u""_s, u"localhost"_s, u"dhcp-12"_s) << "kernel-name" << "dhcp-12";
        QTest::newRow("all localhost") << names(u""_s, u"localhost.localdomain"_s, u"LOCALHOST."_s) << "kernel-name"
                                       << "kernel-name";
        QTest::newRow("a localhost subdomain") << names(u""_s, u"box.localhost"_s, u""_s) << "kernel-name" << "kernel-name";
        QTest::newRow("only properties we do not use") << QVariant(QVariantMap{{QStringLiteral("Chassis"), QStringLiteral("vm")}})
                                                       << "kernel-name" << "kernel-name";
        QTest::newRow("answer not a dictionary") << QVariant(QStringList{u"Jane’s Laptop"_s}) << "kernel-name" << "kernel-name";
        QTest::newRow("dictionary of strings") << QVariant::fromValue(QMap<QString, QString>{{u"PrettyHostname"_s, u"Jane"_s}})
                                               << "kernel-name" << "kernel-name";
        QTest::newRow("nothing anywhere") << names(u""_s, u""_s, u""_s) << "" << "";
        QTest::newRow("kernel says localhost") << names(u""_s, u""_s, u""_s) << "localhost" << "";
    }
    void fromHostnamed()
    {
        QFETCH(QVariant, answer);
        QFETCH(QString, kernel);
        QFETCH(QString, expected);
        HostnamedOnBus hostnamed(m_bus.address(), answer);
        QVERIFY(hostnamed.isRegistered());
        QCOMPARE(nameWithKernelName(kernel), expected);
    }

    void withoutHostnamed_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<qint64>("atLeastMs"); // what the wait must have cost
        QTest::newRow("not on the bus") << false << qint64(0);
        QTest::newRow("never answers") << true << qint64(testTimeout.count() - 50);
    }
    void withoutHostnamed()
    {
        QFETCH(bool, present);
        QFETCH(qint64, atLeastMs);
        std::optional<HostnamedOnBus> silent;
        if (present) {
            silent.emplace(m_bus.address(), QVariant());
            QVERIFY(silent->isRegistered());
        }
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(nameWithKernelName(QStringLiteral("kernel-name")), QStringLiteral("kernel-name"));
        QVERIFY2(timer.elapsed() >= atLeastMs && timer.elapsed() < patienceMs,
                 qPrintable(QStringLiteral("took %1 ms").arg(timer.elapsed())));
    }

    // What the app uses when it passes nothing: the kernel's own host name.
    void defaultsToTheKernelsName()
    {
        const QString kernel = QSysInfo::machineHostName();
        if (kernel.isEmpty() || kernel == u"localhost")
            QSKIP("this machine's own name reads as none");
        QCOMPARE(SystemHostName(testTimeout).userVisibleName(), kernel);
    }

private:
    ThrowawaySystemBus m_bus;
};

// Run with DBUS_SYSTEM_BUS_ADDRESS pointing where no bus listens.
class WithoutSystemBusTest : public QObject
{
    Q_OBJECT

private slots:
    void kernelNameAtOnce()
    {
        QVERIFY(!QDBusConnection::systemBus().isConnected());
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(nameWithKernelName(QStringLiteral("kernel-name")), QStringLiteral("kernel-name"));
        QCOMPARE(nameWithKernelName(QString()), QString());
        QVERIFY2(timer.elapsed() < patienceMs, qPrintable(QStringLiteral("took %1 ms").arg(timer.elapsed())));
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("VESKO_TEST_NO_SYSTEM_BUS")) {
        const QTemporaryDir empty;
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", ThrowawaySystemBus::nowhere(empty));
        WithoutSystemBusTest test;
        return QTest::qExec(&test, argc, argv);
    }
    HostNameTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hostname.moc"
