// The palette's values in each appearance, and the appearance itself: the
// desktop's colour scheme from a fake settings portal on the test session's
// bus (scripts/with-test-session), read at start and followed as it changes.
#include "Appearance.h"
#include "Palette.h"

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

using namespace std::chrono_literals;
using vesko::Appearance;
using vesko::Channel;
using vesko::Palette;

namespace {

const QString portalName = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settings = QStringLiteral("org.freedesktop.portal.Settings");
const QString appearanceNs = QStringLiteral("org.freedesktop.appearance");
const QString colorScheme = QStringLiteral("color-scheme");

constexpr auto testTimeout = 200ms;

struct PortalBehaviour
{
    QVariant scheme;        // what color-scheme holds; null: calls are never answered
    bool hasReadOne = true; // false: a portal from before ReadOne, with Read alone
    std::chrono::milliseconds delay{0};
};

// The settings portal, served from a thread of its own: Appearance asks with
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
            reply = message.createErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"), {});
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
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("portal"))),
          m_fake(std::move(behaviour))
    {
        m_thread.start();
        m_fake.moveToThread(&m_thread);
        m_registered = m_bus.registerVirtualObject(portalPath, &m_fake) && m_bus.registerService(portalName);
    }
    ~PortalOnBus()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
        m_thread.quit();
        m_thread.wait();
    }
    bool isRegistered() const { return m_registered; }

    void emitChange(const QString &ns, const QString &key, const QVariant &value)
    {
        QDBusMessage signal = QDBusMessage::createSignal(portalPath, settings, QStringLiteral("SettingChanged"));
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

// "#rrggbb" as QColor::HexArgb names it when fully opaque.
QString opaque(const QString &rgb)
{
    return QStringLiteral("#ff") + rgb.mid(1);
}

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

class PaletteTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("VESKO_TEST_KEYRING_PASSWORD"), "needs scripts/with-test-session");
        qunsetenv("VESKO_APPEARANCE");
    }
    // A refused subscription only warns, and only the first one in a process
    // was ever refused: every test watches for it.
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral("cannot follow"))); }

    // Read the way a view reads them: by property name.
    void colors_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("light");
        QTest::addColumn<QString>("dark");
        const std::tuple<const char *, const char *, const char *> table[] = {
            {"brandBlue", "#2340ff", "#2340ff"},       {"navy", "#15134f", "#15134f"},
            {"brandPink", "#ff7daa", "#ff7daa"},       {"mint", "#a6ebd8", "#a6ebd8"},
            {"lavender", "#cdb8ee", "#cdb8ee"},        {"coral", "#ff9c8e", "#ff9c8e"},
            {"panelBackground", "#fbf7f4", "#15134f"}, {"cardSurface", "#ffffff", "#201e66"},
            {"hairline", "#e6ded9", "#38367f"},        {"mutedText", "#4a4978", "#c3c1e6"},
            {"barTrack", "#efe8e3", "#2e2c75"},        {"ink", "#15134f", "#ffffff"},
        };
        for (const auto &[name, light, dark] : table)
            QTest::newRow(name) << QByteArray(name) << QString::fromLatin1(light) << QString::fromLatin1(dark);
    }
    void colors()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, light);
        QFETCH(QString, dark);
        Palette palette;
        for (const auto &[isDark, expected] : {std::pair{false, light}, std::pair{true, dark}}) {
            palette.setDark(isDark);
            const QColor color = palette.property(name.constData()).value<QColor>();
            QCOMPARE(color.spec(), QColor::Rgb);
            QCOMPARE(color.name(QColor::HexArgb), opaque(expected));
        }
    }

    void channelColors_data()
    {
        QTest::addColumn<Channel>("channel");
        QTest::addColumn<QString>("light");
        QTest::addColumn<QString>("dark");
        const std::tuple<Channel, const char *, const char *> table[] = {
            {Channel::web, "#2340ff", "#4f74ff"},       {Channel::appStore, "#a873f5", "#c468db"},
            {Channel::playStore, "#0fa888", "#22a686"}, {Channel::amazon, "#d97706", "#f59e0b"},
            {Channel::rcBilling, "#db2777", "#f472b6"}, {Channel::paddle, "#0891b2", "#22d3ee"},
            {Channel::other, "#6b6a8f", "#a3a2c7"},
        };
        for (const auto &[channel, light, dark] : table)
            QTest::newRow(qPrintable(channel.rawValue()))
                << channel << QString::fromLatin1(light) << QString::fromLatin1(dark);
    }
    void channelColors()
    {
        QFETCH(Channel, channel);
        QFETCH(QString, light);
        QFETCH(QString, dark);
        Palette palette;
        QCOMPARE(palette.channelColor(channel).name(QColor::HexArgb), opaque(light));
        palette.setDark(true);
        QCOMPARE(palette.channelColor(channel).name(QColor::HexArgb), opaque(dark));
    }

    void paletteFollowsAppearance()
    {
        Appearance appearance{QDBusConnection(QStringLiteral("not connected"))};
        Palette palette;
        palette.follow(appearance);
        QSignalSpy changed(&palette, &Palette::darkChanged);
        appearance.setOverride(true);
        QCOMPARE(palette.property("ink").value<QColor>(), QColor(Qt::white));
        appearance.setOverride(true);
        appearance.setOverride(std::nullopt); // no bus: the desktop reads as light
        QCOMPARE(emitted(changed), (QList<bool>{true, false}));
        QCOMPARE(palette.ink(), QColor(0x15, 0x13, 0x4f));
    }

    void readAtStart_data()
    {
        QTest::addColumn<PortalBehaviour>("portal");
        QTest::addColumn<bool>("dark");
        QTest::newRow("prefers dark") << PortalBehaviour{.scheme = 1u} << true;
        QTest::newRow("no preference") << PortalBehaviour{.scheme = 0u} << false;
        QTest::newRow("prefers light") << PortalBehaviour{.scheme = 2u} << false;
        QTest::newRow("dark, Read alone") << PortalBehaviour{.scheme = 1u, .hasReadOne = false} << true;
        QTest::newRow("1 as text") << PortalBehaviour{.scheme = QStringLiteral("1")} << false;
    }
    void readAtStart()
    {
        QFETCH(PortalBehaviour, portal);
        QFETCH(bool, dark);
        PortalOnBus onBus(portal);
        QVERIFY(onBus.isRegistered());
        QCOMPARE(Appearance(QDBusConnection::sessionBus(), testTimeout).isDark(), dark);
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
        Appearance appearance(QDBusConnection::sessionBus(), testTimeout);
        QCOMPARE_LT(started.elapsed(), testTimeout.count() + 1000); // nowhere near D-Bus's own 25 s
        QVERIFY(!appearance.isDark());
        QTRY_COMPARE_WITH_TIMEOUT(appearance.isDark(), darkLater, 5000);
    }

    void portalStartingLater()
    {
        Appearance appearance(QDBusConnection::sessionBus(), testTimeout);
        QVERIFY(!appearance.isDark());
        PortalOnBus onBus(PortalBehaviour{.scheme = 1u});
        QVERIFY(onBus.isRegistered());
        QTRY_VERIFY(appearance.isDark());
    }

    // Each row ends on a change that flips the appearance: once it has
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
        QTest::newRow("another key") << 1u
                                     << QList{Change{appearanceNs, QStringLiteral("contrast"), 0}, scheme(1), scheme(0)}
                                     << QList{false};
        QTest::newRow("another namespace")
            << 1u << QList{Change{QStringLiteral("org.gnome.desktop.interface"), colorScheme, 0}, scheme(1), scheme(0)}
            << QList{false};
    }
    void followsChanges()
    {
        QFETCH(uint, initial);
        QFETCH(QList<Change>, changes);
        QFETCH(QList<bool>, flips);
        PortalOnBus onBus(PortalBehaviour{.scheme = initial});
        QVERIFY(onBus.isRegistered());
        Appearance appearance(QDBusConnection::sessionBus(), testTimeout);
        QCOMPARE(appearance.isDark(), initial == 1);
        QSignalSpy spy(&appearance, &Appearance::darkChanged);
        for (const Change &change : changes)
            onBus.emitChange(change.ns, change.key, change.value);
        QTRY_COMPARE(appearance.isDark(), flips.constLast());
        QCOMPARE(emitted(spy), flips);
    }

    void pinned_data()
    {
        QTest::addColumn<QByteArray>("environment");
        QTest::addColumn<bool>("dark");
        QTest::newRow("dark") << QByteArray("dark") << true;
        QTest::newRow("light") << QByteArray("light") << false;
        QTest::newRow("anything else") << QByteArray("Dark") << true; // the desktop's own
    }
    void pinned()
    {
        QFETCH(QByteArray, environment);
        QFETCH(bool, dark);
        PortalOnBus onBus(PortalBehaviour{.scheme = 1u});
        QVERIFY(onBus.isRegistered());
        qputenv("VESKO_APPEARANCE", environment);
        Appearance appearance(QDBusConnection::sessionBus(), testTimeout);
        qunsetenv("VESKO_APPEARANCE");
        QCOMPARE(appearance.isDark(), dark);
    }
};

QTEST_MAIN(PaletteTest)
#include "tst_palette.moc"
