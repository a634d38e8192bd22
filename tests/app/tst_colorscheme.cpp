// The desktop's colour scheme from a fake settings portal on the test
// session's bus (scripts/with-test-session), read at start and followed as it
// changes.
#include "app/linux/PortalColorScheme.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

using namespace Qt::StringLiterals;

using namespace std::chrono_literals;
using vesko::PortalColorScheme;

namespace {

const QString portalName = u"org.freedesktop.portal.Desktop"_s;
const QString portalPath = u"/org/freedesktop/portal/desktop"_s;
const QString settings = u"org.freedesktop.portal.Settings"_s;
const QString appearanceNs = u"org.freedesktop.appearance"_s;
const QString colorScheme = u"color-scheme"_s;

constexpr auto testTimeout = 200ms;

struct PortalBehaviour
{
    QVariant scheme;        // what color-scheme holds; null: calls are never answered
    bool hasReadOne = true; // false: a portal from before ReadOne, with Read alone
    std::chrono::milliseconds delay{0};
};

// The settings portal, served from a thread of its own: the scheme asks with
// a blocking call, which a fake on the caller's thread could never answer.
class FakePortal : public QDBusVirtualObject
{
public:
    explicit FakePortal(PortalBehaviour behaviour)
        : m_behaviour(std::move(behaviour))
    {}

    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (m_behaviour.scheme.isNull())
            return true;
        const bool readOne = message.member() == u"ReadOne" && m_behaviour.hasReadOne;
        const bool read = message.member() == u"Read";
        QDBusMessage reply;
        if (message.interface() != settings || !(readOne || read))
            reply = message.createErrorReply(QDBusError::UnknownMethod, message.member());
        else if (message.arguments() != QVariantList{appearanceNs, colorScheme})
            reply = message.createErrorReply(u"org.freedesktop.portal.Error.NotFound"_s, {});
        else if (readOne)
            reply = message.createReply(QVariant::fromValue(QDBusVariant(m_behaviour.scheme)));
        else
            reply = message.createReply(
                QVariant::fromValue(QDBusVariant(QVariant::fromValue(QDBusVariant(m_behaviour.scheme)))));
        QTimer::singleShot(m_behaviour.delay, [connection, reply] { QDBusConnection(connection).send(reply); });
        return true;
    }

private:
    const PortalBehaviour m_behaviour;
};

// The portal on the session bus for as long as it lives.
class PortalOnBus
{
public:
    explicit PortalOnBus(PortalBehaviour behaviour)
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"portal"_s)),
          m_fake(std::move(behaviour))
    {
        m_thread.start();
        m_fake.moveToThread(&m_thread);
        m_registered = m_bus.registerVirtualObject(portalPath, &m_fake) && m_bus.registerService(portalName);
    }
    ~PortalOnBus()
    {
        QDBusConnection::disconnectFromBus(u"portal"_s);
        m_thread.quit();
        m_thread.wait();
    }
    bool isRegistered() const { return m_registered; }

    void emitChange(const QString &ns, const QString &key, const QVariant &value)
    {
        QDBusMessage signal = QDBusMessage::createSignal(portalPath, settings, u"SettingChanged"_s);
        signal << ns << key << QVariant::fromValue(QDBusVariant(value));
        m_bus.send(signal);
    }

private:
    QDBusConnection m_bus;
    QThread m_thread;
    FakePortal m_fake;
    bool m_registered = false;
};

struct Change
{
    QString ns;
    QString key;
    uint value;
};

QList<bool> emitted(const QSignalSpy &spy)
{
    QList<bool> values;
    for (const QList<QVariant> &arguments : spy)
        values.append(arguments.constFirst().toBool());
    return values;
}

} // namespace

Q_DECLARE_METATYPE(PortalBehaviour)
Q_DECLARE_METATYPE(std::optional<PortalBehaviour>)
Q_DECLARE_METATYPE(Change)

class ColorSchemeTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("VESKO_TEST_KEYRING_PASSWORD"), "needs scripts/with-test-session");
    }
    // A refused subscription only warns, and only the first one in a process
    // was ever refused: every test watches for it.
    void init() { QTest::failOnWarning(QRegularExpression(u"cannot follow"_s)); }

    void readAtStart_data()
    {
        QTest::addColumn<PortalBehaviour>("portal");
        QTest::addColumn<bool>("dark");
        QTest::newRow("prefers dark") << PortalBehaviour{.scheme = 1u} << true;
        QTest::newRow("no preference") << PortalBehaviour{.scheme = 0u} << false;
        QTest::newRow("prefers light") << PortalBehaviour{.scheme = 2u} << false;
        QTest::newRow("dark, Read alone") << PortalBehaviour{.scheme = 1u, .hasReadOne = false} << true;
        QTest::newRow("1 as text") << PortalBehaviour{.scheme = u"1"_s} << false;
    }
    void readAtStart()
    {
        QFETCH(PortalBehaviour, portal);
        QFETCH(bool, dark);
        PortalOnBus onBus(portal);
        QVERIFY(onBus.isRegistered());
        QCOMPARE(PortalColorScheme(QDBusConnection::sessionBus(), testTimeout).prefersDark(), dark);
    }

    // Light at once, whether nobody owns the name or its owner never answers;
    // a portal that answers late is heard when it does.
    void slowOrMissingPortal_data()
    {
        QTest::addColumn<std::optional<PortalBehaviour>>("portal");
        QTest::addColumn<bool>("darkLater");
        QTest::newRow("no portal") << std::optional<PortalBehaviour>() << false;
        QTest::newRow("never answers") << std::optional(PortalBehaviour{}) << false;
        QTest::newRow("answers late") << std::optional(PortalBehaviour{.scheme = 1u, .delay = 3 * testTimeout}) << true;
    }
    void slowOrMissingPortal()
    {
        QFETCH(std::optional<PortalBehaviour>, portal);
        QFETCH(bool, darkLater);
        std::optional<PortalOnBus> onBus;
        if (portal)
            QVERIFY(onBus.emplace(*portal).isRegistered());
        QElapsedTimer started;
        started.start();
        PortalColorScheme scheme(QDBusConnection::sessionBus(), testTimeout);
        QCOMPARE_LT(started.elapsed(), testTimeout.count() + 1000); // nowhere near D-Bus's own 25 s
        QVERIFY(!scheme.prefersDark());
        QTRY_COMPARE_WITH_TIMEOUT(scheme.prefersDark(), darkLater, 5000);
    }

    void portalStartingLater()
    {
        PortalColorScheme scheme(QDBusConnection::sessionBus(), testTimeout);
        QVERIFY(!scheme.prefersDark());
        PortalOnBus onBus(PortalBehaviour{.scheme = 1u});
        QVERIFY(onBus.isRegistered());
        QTRY_VERIFY(scheme.prefersDark());
    }

    // Each row ends on a change that flips the preference: once it has
    // arrived, so have the ones before it, and only the expected flips happened.
    void followsChanges_data()
    {
        QTest::addColumn<uint>("initial");
        QTest::addColumn<QList<Change>>("changes");
        QTest::addColumn<QList<bool>>("flips");
        const auto scheme = [](uint value) { return Change{appearanceNs, colorScheme, value}; };
        QTest::newRow("to dark") << 0u << QList{scheme(1)} << QList{true};
        QTest::newRow("to light") << 1u << QList{scheme(0)} << QList{false};
        QTest::newRow("same value again") << 1u << QList{scheme(1), scheme(0)} << QList{false};
        QTest::newRow("another key") << 1u << QList{Change{appearanceNs, u"contrast"_s, 0}, scheme(1), scheme(0)}
                                     << QList{false};
        QTest::newRow("another namespace")
            << 1u << QList{Change{u"org.gnome.desktop.interface"_s, colorScheme, 0}, scheme(1), scheme(0)}
            << QList{false};
    }
    void followsChanges()
    {
        QFETCH(uint, initial);
        QFETCH(QList<Change>, changes);
        QFETCH(QList<bool>, flips);
        PortalOnBus onBus(PortalBehaviour{.scheme = initial});
        QVERIFY(onBus.isRegistered());
        PortalColorScheme scheme(QDBusConnection::sessionBus(), testTimeout);
        QCOMPARE(scheme.prefersDark(), initial == 1);
        QSignalSpy spy(&scheme, &PortalColorScheme::prefersDarkChanged);
        for (const Change &change : changes)
            onBus.emitChange(change.ns, change.key, change.value);
        QTRY_COMPARE(scheme.prefersDark(), flips.constLast());
        QCOMPARE(emitted(spy), flips);
    }
};

QTEST_MAIN(ColorSchemeTest)
#include "tst_colorscheme.moc"
