// The tray item as an indicator host sees it: a fake StatusNotifierWatcher on
// the test session's bus takes the registration, and a second connection reads
// the item's properties and menu the way a host does.
#include "app/core/AppModel.h"
#include "app/core/presenters/TrayText.h"
#include "app/linux/TrayWatcherProbe.h"
#include "app/ui/Appearance.h"
#include "app/ui/Palette.h"
#include "app/ui/PanelController.h"
#include "app/ui/Snout.h"
#include "app/ui/tray/DBusMenuTypes.h"
#include "app/ui/tray/StatusNotifierTypes.h"
#include "app/ui/tray/TrayIcon.h"
#include "app/ui/tray/TrayPanel.h"
#include "tests/support/FakeIndicatorHost.h"
#include "tests/support/Fakes.h"
#include "tests/support/Fixtures.h"
#include "tests/support/ModelRig.h"
#include "tests/support/ScriptedService.h"

#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QQuickView>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/prctl.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

using namespace vesko;

namespace {

using Replies = QMap<QByteArray, ScriptedReply>;

QList<SniPixmap> pixmapsOf(const QVariant &value)
{
    return qdbus_cast<QList<SniPixmap>>(value);
}

QString toolTipTitle(const QVariant &value)
{
    return qdbus_cast<SniToolTip>(value).title;
}

struct Stage : ModelRig
{
    std::unique_ptr<AppModel> model;
    FakeColorScheme desktop;
    Appearance appearance{desktop};

    explicit Stage(qint64 mrr = 1234567, std::optional<QString> token = u"tok"_s)
    {
        QJsonObject summary = fixtures::summary();
        summary[u"mrr"_s] = mrr;
        service.replies.insert("/v1/summary", ScriptedReply::json(200, fixtures::envelope(summary)));
        secrets.stored = std::move(token);
        model = std::make_unique<AppModel>(environment());
    }
    bool load()
    {
        model->refresh();
        return QTest::qWaitFor([&] { return model->summary().has_value(); }, 5000);
    }
};

// The test process goes by another name while it lives, so that the item,
// asking whose watcher took it, finds that host.
class ProgramName
{
public:
    explicit ProgramName(const QByteArray &name)
    {
        prctl(PR_GET_NAME, m_saved);
        prctl(PR_SET_NAME, name.constData());
    }
    ~ProgramName() { prctl(PR_SET_NAME, m_saved); }

private:
    char m_saved[17] = {};
};

// Signals a host hears from the menu.
class MenuSignals : public QObject
{
    Q_OBJECT

public:
    explicit MenuSignals(const Host &host)
    {
        for (const char *name : {"LayoutUpdated", "ItemsPropertiesUpdated"})
            ok &= QDBusConnection(host.bus).connect(host.service, u"/MenuBar"_s, u"com.canonical.dbusmenu"_s,
                                                    QString::fromLatin1(name), this, SLOT(heard(QDBusMessage)));
    }
    bool ok = true;
    QList<QDBusMessage> heardMessages;

public slots:
    void heard(const QDBusMessage &message) { heardMessages << message; }
};

QStringList labelsOf(const Host &host)
{
    const QDBusMessage layout =
        host.call(u"/MenuBar"_s, u"com.canonical.dbusmenu"_s, u"GetLayout"_s, {0, -1, QStringList()});
    QStringList seen;
    for (const DBusMenuLayoutItem &child : qdbus_cast<DBusMenuLayoutItem>(layout.arguments().value(1)).children) {
        QString label = child.properties.value(u"label"_s, child.properties.value(u"type"_s)).toString();
        if (!child.properties.value(u"enabled"_s, true).toBool())
            label += u" (disabled)"_s;
        seen << label;
    }
    return seen;
}

} // namespace

class TrayTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        registerStatusNotifierTypes();
        registerDBusMenuTypes();
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run inside scripts/with-test-session");
    }

    // What the host reads, for every style with and without a summary.
    void labelFollowsStyleAndSummary_data()
    {
        QTest::addColumn<TrayStyle>("style");
        QTest::addColumn<bool>("withSummary");
        QTest::addColumn<QByteArray>("hostProgram");
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("snout");
        QTest::addColumn<QString>("spoken");

        const QString name = u"Vesko"_s;
        const QString figure = u"Vesko, MRR $12.3K"_s;
        const QString amount = u"$12.3K"_s;
        const QByteArray gnome = "gnome-shell", plasma = "kded5";
        QTest::newRow("both, none") << TrayStyle::both << false << gnome << QString() << true << name;
        QTest::newRow("both, summary") << TrayStyle::both << true << gnome << amount << true << figure;
        QTest::newRow("amount, none") << TrayStyle::amount << false << gnome << QString() << true << name;
        QTest::newRow("amount, summary, label drawn")
            << TrayStyle::amount << true << gnome << amount << false << figure;
        // Plasma and Xfce do not draw the label: without the snout nothing would show.
        QTest::newRow("amount, summary, label not drawn")
            << TrayStyle::amount << true << plasma << amount << true << figure;
        QTest::newRow("snout, none") << TrayStyle::snout << false << gnome << QString() << true << name;
        QTest::newRow("snout, summary") << TrayStyle::snout << true << gnome << QString() << true << figure;
    }
    void labelFollowsStyleAndSummary()
    {
        QFETCH(TrayStyle, style);
        QFETCH(bool, withSummary);
        QFETCH(QByteArray, hostProgram);
        QFETCH(QString, label);
        QFETCH(bool, snout);
        QFETCH(QString, spoken);

        const ProgramName pretend(hostProgram);
        FakeWatcher watcher(u"watcher"_s);
        Stage stage(1234567, withSummary ? std::optional(u"tok"_s) : std::nullopt);
        stage.model->setTrayStyle(style);
        if (withSummary)
            QVERIFY(stage.load());
        TrayIcon tray(*stage.model, stage.appearance, QDBusConnection::sessionBus());
        QVERIFY(tray.show());
        QTRY_COMPARE(tray.host(), TrayIcon::Host::statusNotifier);
        QCOMPARE(watcher.registered, QStringList{tray.item().watcherName()});
        QTRY_COMPARE(tray.item().hostProgram(), QString::fromLatin1(hostProgram));
        QCOMPARE(tray.labelShown(), hostProgram == "gnome-shell");

        Host host{.service = tray.item().serviceName()};
        const QVariantMap read = host.properties();
        QCOMPARE(read.value(u"XAyatanaLabel"_s).toString(), label);
        QCOMPARE(read.value(u"XAyatanaLabelGuide"_s).toString(), labelGuide(label));
        QCOMPARE(read.value(u"Title"_s).toString(), spoken);
        QCOMPARE(read.value(u"IconAccessibleDesc"_s).toString(), spoken);
        QCOMPARE(toolTipTitle(read.value(u"ToolTip"_s)), spoken);
        QCOMPARE(!read.value(u"IconName"_s).toString().isEmpty(), snout);
        // Never no icon at all: a shell would draw its missing-icon picture.
        const QList<SniPixmap> pixmaps = pixmapsOf(read.value(u"IconPixmap"_s));
        QVERIFY(!pixmaps.isEmpty());
        bool drawn = false;
        for (const SniPixmap &pixmap : pixmaps) {
            const QImage image = imageOf(pixmap);
            for (int y = 0; y < image.height() && !drawn; ++y)
                for (int x = 0; x < image.width() && !drawn; ++x)
                    drawn = image.pixelColor(x, y).alpha() > 0;
        }
        QCOMPARE(drawn, snout);
        QCOMPARE(read.value(u"Menu"_s).value<QDBusObjectPath>().path(), u"/MenuBar"_s);
    }

    // Changes reach the host through the protocol's signals, without a refresh.
    void changesAreAnnounced()
    {
        const ProgramName pretend("gnome-shell");
        FakeWatcher watcher(u"watcher"_s);
        Stage stage(99999);
        QVERIFY(stage.load());
        TrayIcon tray(*stage.model, stage.appearance, QDBusConnection::sessionBus());
        QVERIFY(tray.show());
        QTRY_COMPARE(tray.host(), TrayIcon::Host::statusNotifier);
        QTRY_VERIFY(tray.labelShown());

        Host host{.service = tray.item().serviceName()};
        QSignalSpy labels(&tray.item(), &StatusNotifierItem::newLabel);
        QSignalSpy icons(&tray.item(), &StatusNotifierItem::newIcon);
        QCOMPARE(host.properties().value(u"XAyatanaLabel"_s).toString(), u"$1,000"_s);
        QCOMPARE(host.properties().value(u"XAyatanaLabelGuide"_s).toString(), u"$0,000"_s);

        const int before = stage.service.count("/v1/summary");
        stage.model->setTrayStyle(TrayStyle::snout);
        QCOMPARE(labels.size(), 1);
        QCOMPARE(host.properties().value(u"XAyatanaLabel"_s).toString(), QString());
        stage.model->setTrayStyle(TrayStyle::amount);
        QCOMPARE(labels.size(), 2);
        QCOMPARE(icons.size(), 1); // the snout goes
        QCOMPARE(host.properties().value(u"IconName"_s).toString(), QString());
        QCOMPARE(stage.service.count("/v1/summary"), before);

        // Signed out: the snout alone, whatever the style.
        stage.model->signOut();
        QTRY_VERIFY(!stage.model->summary());
        const QVariantMap read = host.properties();
        QCOMPARE(read.value(u"XAyatanaLabel"_s).toString(), QString());
        QVERIFY(!pixmapsOf(read.value(u"IconPixmap"_s)).isEmpty());
        QCOMPARE(read.value(u"Title"_s).toString(), u"Vesko"_s);
    }

    // The icon the host draws is the snout: opaque capsule, see-through nostrils and corners.
    void iconPixmapsAreTheSnout()
    {
        for (const bool dark : {false, true}) {
            const auto content = TrayIcon::contentFor(trayText(true, std::nullopt, u"Vesko"_s), dark, {});
            QCOMPARE(content.icon.size(), 5);
            for (const SniPixmap &pixmap : content.icon) {
                const QImage image = imageOf(pixmap);
                QCOMPARE(image.size(), QSize(pixmap.width, pixmap.width));
                const int side = image.width();
                const QColor middle = image.pixelColor(side / 2, side / 2);
                QCOMPARE(middle.alpha(), 255);
                QCOMPARE(middle, dark ? QColor(Qt::white) : QColor(Qt::black));
                QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
                QCOMPARE(image.pixelColor(side / 2, 0).alpha(), 0); // above the 20:14 mark
            }
        }
    }

    // A host's click, and its menu: layout and a click on each entry.
    void activateAndMenu()
    {
        FakeWatcher watcher(u"watcher"_s);
        Stage stage;
        TrayIcon tray(*stage.model, stage.appearance, QDBusConnection::sessionBus());
        QVERIFY(tray.show());
        QTRY_COMPARE(tray.host(), TrayIcon::Host::statusNotifier);
        Host host{.service = tray.item().serviceName()};

        QSignalSpy activated(&tray, &TrayIcon::activated);
        host.call(u"/StatusNotifierItem"_s, u"org.kde.StatusNotifierItem"_s, u"Activate"_s, {120, 8});
        QTRY_COMPARE(activated.size(), 1);
        QCOMPARE(activated.first().first().toPoint(), QPoint(120, 8));

        // The actions close the menu, below whatever figures there are.
        QCOMPARE(labelsOf(host).mid(labelsOf(host).indexOf(u"Open Vesko"_s)),
                 (QStringList{u"Open Vesko"_s, u"Hide amounts"_s, u"separator"_s, u"Quit Vesko"_s}));

        QSignalSpy open(&tray, &TrayIcon::openPanelRequested);
        QSignalSpy quit(&tray, &TrayIcon::quitRequested);
        const auto click = [&](int id) {
            host.call(u"/MenuBar"_s, u"com.canonical.dbusmenu"_s, u"Event"_s,
                      {id, u"clicked"_s, QVariant::fromValue(QDBusVariant(0)), 0u});
        };
        click(TrayIcon::separatorEntry);
        click(99);
        click(TrayIcon::openPanelEntry);
        QTRY_COMPARE(open.size(), 1);
        click(TrayIcon::quitEntry);
        QTRY_COMPARE(quit.size(), 1);
        QCOMPARE(open.size(), 1);
    }

    // The privacy switch from the tray menu: no amount in anything the host reads.
    void hideAmountsFromTheMenu()
    {
        FakeWatcher watcher(u"watcher"_s);
        Stage stage;
        QVERIFY(stage.load());
        TrayIcon tray(*stage.model, stage.appearance, QDBusConnection::sessionBus());
        QVERIFY(tray.show());
        QTRY_COMPARE(tray.host(), TrayIcon::Host::statusNotifier);
        Host host{.service = tray.item().serviceName()};
        host.call(u"/MenuBar"_s, u"com.canonical.dbusmenu"_s, u"Event"_s,
                  {int(TrayIcon::hideAmountsEntry), u"clicked"_s, QVariant::fromValue(QDBusVariant(0)), 0u});
        QTRY_VERIFY(stage.model->hideAmounts());
        const QVariantMap read = host.properties();
        QCOMPARE(read.value(u"XAyatanaLabel"_s).toString(), u"$\u2022\u2022\u2022"_s);
        QCOMPARE(read.value(u"Title"_s).toString(), u"Vesko, MRR hidden"_s);
        for (const char *text : {"Title", "IconAccessibleDesc", "XAyatanaLabel", "XAyatanaLabelGuide"})
            QVERIFY2(!read.value(QString::fromLatin1(text)).toString().contains(QRegularExpression(u"\\d"_s)), text);
        QCOMPARE(toolTipTitle(read.value(u"ToolTip"_s)), read.value(u"Title"_s).toString());
        const QDBusMessage state = host.call(u"/MenuBar"_s, u"com.canonical.dbusmenu"_s, u"GetProperty"_s,
                                             {int(TrayIcon::hideAmountsEntry), u"toggle-state"_s});
        QCOMPARE(state.arguments().value(0).value<QDBusVariant>().variant().toInt(), 1);
    }

    // One click on GNOME opens this menu: the figures first, each a way into
    // the panel, masked while amounts are hidden.
    void menuCarriesTheFigures()
    {
        FakeWatcher watcher(u"watcher"_s);
        Stage stage;
        QVERIFY(stage.load());
        TrayIcon tray(*stage.model, stage.appearance, QDBusConnection::sessionBus());
        QVERIFY(tray.show());
        QTRY_COMPARE(tray.host(), TrayIcon::Host::statusNotifier);
        Host host{.service = tray.item().serviceName()};

        QCOMPARE(labelsOf(host),
                 (QStringList{u"MRR $12,346 \u00b7 +12%"_s, u"Web \u00b7 $8,000"_s, u"App Store \u00b7 $4,345.67"_s,
                              u"separator"_s, u"Open Vesko"_s, u"Hide amounts"_s, u"separator"_s, u"Quit Vesko"_s}));
        QSignalSpy open(&tray, &TrayIcon::openPanelRequested);
        for (const int id : {int(TrayIcon::figureEntry), TrayIcon::firstChannelEntry + 1}) {
            host.call(u"/MenuBar"_s, u"com.canonical.dbusmenu"_s, u"Event"_s,
                      {id, u"clicked"_s, QVariant::fromValue(QDBusVariant(0)), 0u});
        }
        QTRY_COMPARE(open.size(), 2);

        // Same entries, new texts: property updates, which an open menu follows.
        MenuSignals heard(host);
        QVERIFY(heard.ok);
        stage.model->setHideAmounts(true);
        QTRY_COMPARE(heard.heardMessages.size(), 1);
        QCOMPARE(heard.heardMessages.first().member(), u"ItemsPropertiesUpdated"_s);
        QMap<int, QVariantMap> updated;
        for (const DBusMenuItem &item : qdbus_cast<DBusMenuItemList>(heard.heardMessages.first().arguments().value(0)))
            updated.insert(item.id, item.properties);
        QCOMPARE(updated.value(TrayIcon::hideAmountsEntry).value(u"toggle-state"_s).toInt(), 1);
        QCOMPARE(updated.value(TrayIcon::figureEntry).value(u"label"_s).toString(),
                 u"MRR $\u2022\u2022\u2022 \u00b7 +12%"_s);
        const QStringList masked = labelsOf(host).mid(1, 2);
        QCOMPARE(masked, (QStringList{u"Web \u00b7 $\u2022\u2022\u2022"_s, u"App Store \u00b7 $\u2022\u2022\u2022"_s}));
    }

    // An account of several projects chooses which one the figures are of,
    // as one group of the menu.
    void menuChoosesTheProject()
    {
        FakeWatcher watcher(u"watcher"_s);
        Stage stage;
        QJsonObject summary = fixtures::summary();
        summary[u"by_project"_s] = QJsonArray{
            QJsonObject{{u"id"_s, u"p1"_s}, {u"name"_s, u"Snoutly"_s}, {u"color"_s, u"#2340FF"_s}, {u"mrr"_s, 1000000}},
            QJsonObject{{u"id"_s, u"p2"_s}, {u"name"_s, u"Pawlog"_s}, {u"color"_s, u"#FF7A1A"_s}, {u"mrr"_s, 234567}}};
        stage.service.replies.insert("/v1/summary", ScriptedReply::json(200, fixtures::envelope(summary)));
        QVERIFY(stage.load());
        TrayIcon tray(*stage.model, stage.appearance, QDBusConnection::sessionBus());
        QVERIFY(tray.show());
        QTRY_COMPARE(tray.host(), TrayIcon::Host::statusNotifier);
        Host host{.service = tray.item().serviceName()};

        QCOMPARE(labelsOf(host).mid(3, 5),
                 (QStringList{u"separator"_s, u"All projects"_s, u"Snoutly"_s, u"Pawlog"_s, u"separator"_s}));
        const auto toggle = [&](int id, const QString &key) {
            const QDBusMessage answer =
                host.call(u"/MenuBar"_s, u"com.canonical.dbusmenu"_s, u"GetProperty"_s, {id, key});
            return answer.arguments().value(0).value<QDBusVariant>().variant();
        };
        QCOMPARE(toggle(TrayIcon::firstProjectEntry, u"toggle-type"_s).toString(), u"radio"_s);
        QCOMPARE(toggle(TrayIcon::firstProjectEntry, u"toggle-state"_s).toInt(), 1);
        QCOMPARE(toggle(TrayIcon::firstProjectEntry + 2, u"toggle-state"_s).toInt(), 0);

        QSignalSpy open(&tray, &TrayIcon::openPanelRequested);
        host.call(u"/MenuBar"_s, u"com.canonical.dbusmenu"_s, u"Event"_s,
                  {TrayIcon::firstProjectEntry + 2, u"clicked"_s, QVariant::fromValue(QDBusVariant(0)), 0u});
        QTRY_COMPARE(stage.model->projectScope(), u"p2"_s);
        QTRY_COMPARE(toggle(TrayIcon::firstProjectEntry + 2, u"toggle-state"_s).toInt(), 1);
        QCOMPARE(toggle(TrayIcon::firstProjectEntry, u"toggle-state"_s).toInt(), 0);
        QVERIFY(open.isEmpty());
    }

    // Signed out, the menu's first entry signs in, and says so while it waits.
    void signedOutMenuSignsIn()
    {
        FakeWatcher watcher(u"watcher"_s);
        Stage stage(1234567, std::nullopt);
        TrayIcon tray(*stage.model, stage.appearance, QDBusConnection::sessionBus());
        QVERIFY(tray.show());
        QTRY_COMPARE(tray.host(), TrayIcon::Host::statusNotifier);
        Host host{.service = tray.item().serviceName()};

        QCOMPARE(labelsOf(host).value(0), u"Sign in"_s);
        host.call(u"/MenuBar"_s, u"com.canonical.dbusmenu"_s, u"Event"_s,
                  {int(TrayIcon::signInEntry), u"clicked"_s, QVariant::fromValue(QDBusVariant(0)), 0u});
        QTRY_VERIFY(stage.model->isSignInPending());
        QCOMPARE(labelsOf(host).value(0), u"Waiting for your browser\u2026 (disabled)"_s);
    }

    // Every method and signal hosts use is exported: QtDBus silently leaves
    // out those whose argument types it cannot name (Xfce clicks through
    // EventGroup; GNOME follows checks through ItemsPropertiesUpdated).
    void menuProtocolIsComplete()
    {
        FakeWatcher watcher(u"watcher"_s);
        Stage stage;
        TrayIcon tray(*stage.model, stage.appearance, QDBusConnection::sessionBus());
        QVERIFY(tray.show());
        QTRY_COMPARE(tray.host(), TrayIcon::Host::statusNotifier);
        Host host{.service = tray.item().serviceName()};

        const QString xml = host.call(u"/MenuBar"_s, u"org.freedesktop.DBus.Introspectable"_s, u"Introspect"_s, {})
                                .arguments()
                                .value(0)
                                .toString();
        for (const char *member :
             {"<method name=\"GetLayout\"", "<method name=\"GetGroupProperties\"", "<method name=\"GetProperty\"",
              "<method name=\"Event\"", "<method name=\"EventGroup\"", "<method name=\"AboutToShow\"",
              "<method name=\"AboutToShowGroup\"", "<signal name=\"LayoutUpdated\"",
              "<signal name=\"ItemsPropertiesUpdated\""})
            QVERIFY2(xml.contains(QLatin1String(member)), member);

        QSignalSpy open(&tray, &TrayIcon::openPanelRequested);
        const DBusMenuEventList events{{int(TrayIcon::openPanelEntry), u"clicked"_s, QDBusVariant(0), 0},
                                       {99, u"clicked"_s, QDBusVariant(0), 0}};
        const QDBusMessage reply =
            host.call(u"/MenuBar"_s, u"com.canonical.dbusmenu"_s, u"EventGroup"_s, {QVariant::fromValue(events)});
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(reply.signature(), u"ai"_s);
        QCOMPARE(qdbus_cast<QList<int>>(reply.arguments().value(0)), QList<int>{99}); // the unknown id
        QTRY_COMPARE(open.size(), 1);

        const QDBusMessage groups =
            host.call(u"/MenuBar"_s, u"com.canonical.dbusmenu"_s, u"GetGroupProperties"_s,
                      {QVariant::fromValue(QList<int>{int(TrayIcon::quitEntry)}), QStringList{u"label"_s}});
        const auto items = qdbus_cast<DBusMenuItemList>(groups.arguments().value(0));
        QCOMPARE(items.size(), 1);
        QCOMPARE(items.first().properties, (QVariantMap{{u"label"_s, u"Quit Vesko"_s}}));
        const QDBusMessage shown = host.call(u"/MenuBar"_s, u"com.canonical.dbusmenu"_s, u"AboutToShowGroup"_s,
                                             {QVariant::fromValue(QList<int>{0, 1})});
        QCOMPARE(shown.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(shown.signature(), u"aiai"_s);
    }

    // A shell restart: the watcher goes away and a new one must get the item again.
    void registersAgainWithANewWatcher()
    {
        Stage stage;
        TrayIcon tray(*stage.model, stage.appearance, QDBusConnection::sessionBus());
        QVERIFY(!tray.show()); // no watcher, and a QGuiApplication has no old tray
        QCOMPARE(tray.host(), TrayIcon::Host::none);
        {
            FakeWatcher first(u"first"_s);
            QTRY_COMPARE(first.registered.size(), 1);
            QTRY_COMPARE(tray.host(), TrayIcon::Host::statusNotifier);
        }
        QTRY_COMPARE(tray.host(), TrayIcon::Host::none);
        FakeWatcher second(u"second"_s);
        QTRY_COMPARE(second.registered, QStringList{tray.item().watcherName()});
        QTRY_COMPARE(tray.host(), TrayIcon::Host::statusNotifier);
    }

    // Asked before the application object exists, through libdbus: the same
    // answer as the bus gives Qt.
    void probeSeesTheWatcher()
    {
        QVERIFY(!statusNotifierWatcherRuns());
        {
            FakeWatcher watcher(u"probe"_s);
            QVERIFY(statusNotifierWatcherRuns());
        }
        QTRY_VERIFY(!statusNotifierWatcherRuns());
    }

    // Without a watcher the old tray stands in, with the figure in its
    // tooltip and the same menu; a watcher that comes takes over from it.
    void oldTrayUntilAWatcherComes()
    {
        Stage stage;
        QVERIFY(stage.load());
        struct Fake : OldTray
        {
            bool shown = false;
            QString toolTip;
            bool amountsHidden = false;
            void show() override { shown = true; }
            void hide() override { shown = false; }
            bool isVisible() const override { return shown; }
            void setIcon(const QIcon &) override {}
            void setToolTip(const QString &text) override { toolTip = text; }
            void setAmountsHidden(bool hidden) override { amountsHidden = hidden; }
        };
        QPointer<Fake> fake;
        OldTrayTitles titles;
        TrayIcon tray(*stage.model, stage.appearance, QDBusConnection::sessionBus(), [&](const OldTrayTitles &given) {
            titles = given;
            auto made = std::make_unique<Fake>();
            fake = made.get();
            return made;
        });
        QVERIFY(tray.show());
        QVERIFY(fake && fake->shown);
        QCOMPARE(tray.host(), TrayIcon::Host::systemTray);
        QCOMPARE(titles.open, u"Open Vesko"_s);
        QCOMPARE(titles.quit, u"Quit Vesko"_s);
        QCOMPARE(fake->toolTip, stage.model->spokenLabel());

        QSignalSpy clicked(&tray, &TrayIcon::activated);
        emit fake->clicked(QPoint(40, 12));
        QCOMPARE(clicked.value(0).value(0).toPoint(), QPoint(40, 12));
        emit fake->hideAmountsToggled();
        QVERIFY(stage.model->hideAmounts());
        QVERIFY(fake->amountsHidden);
        const QString masked = stage.model->spokenLabel();
        QVERIFY(!masked.contains(u"12"));
        QCOMPARE(fake->toolTip, masked);

        FakeWatcher watcher(u"watcher"_s);
        QTRY_COMPARE(tray.host(), TrayIcon::Host::statusNotifier);
        QVERIFY(!fake->shown);
    }

    // A host that drops the live item (GNOME's extension, in a race at its
    // start) gets it again, whichever way the host writes its name; another
    // item's going is none of ours.
    void registersAgainWhenDropped_data()
    {
        QTest::addColumn<bool>("wellKnown");
        QTest::addColumn<QString>("path");
        QTest::newRow("as given") << false << QString();
        QTest::newRow("KDE: name and path") << false << u"/StatusNotifierItem"_s;
        QTest::newRow("GNOME: name at path") << false << u"@/StatusNotifierItem"_s;
        QTest::newRow("the well-known name") << true << QString();
    }
    void registersAgainWhenDropped()
    {
        QFETCH(bool, wellKnown);
        QFETCH(QString, path);
        Stage stage;
        TrayIcon tray(*stage.model, stage.appearance, QDBusConnection::sessionBus());
        FakeWatcher watcher(u"watcher"_s);
        QVERIFY(tray.show());
        QTRY_COMPARE(watcher.registered.size(), 1);
        const QString own = wellKnown ? tray.item().serviceName() : tray.item().watcherName();
        // A longer name that merely starts like ours is another's.
        for (const QString &other : {u"org.kde.StatusNotifierItem-1-1"_s, own + u'0' + path})
            watcher.drop(other);
        QTest::qWait(1500);
        QCOMPARE(watcher.registered.size(), 1);
        QCOMPARE(tray.host(), TrayIcon::Host::statusNotifier);
        watcher.drop(own + path);
        QTRY_COMPARE(tray.host(), TrayIcon::Host::none);
        QTRY_COMPARE(watcher.registered.size(), 2);
        QCOMPARE(watcher.registered.last(), tray.item().watcherName());
        QTRY_COMPARE(tray.host(), TrayIcon::Host::statusNotifier);
    }

    // A click shows the panel at the click and refreshes; the next click hides it.
    void panelToggles()
    {
        Stage stage;
        QVERIFY(stage.load());
        Palette palette;
        PanelController controller(*stage.model, palette);
        TrayPanel panel(controller);
        const int before = stage.service.count("/v1/summary");
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        const QPoint click(available.center().x(), available.top() + 5);

        panel.toggle(click);
        QVERIFY(panel.isVisible());
        QCOMPARE(panel.window()->position(), TrayPanel::placement(available, panel.window()->size(), click));
        QVERIFY(panel.window()->height() > 100);
        QTRY_COMPARE(stage.service.count("/v1/summary"), before + 1);

        panel.toggle(click);
        QVERIFY(!panel.isVisible());
        panel.toggle(QPoint());
        QVERIFY(panel.isVisible()); // made once, shown again
        QTRY_COMPARE(stage.service.count("/v1/summary"), before + 2);
    }

    // A host's click point, from its pixels to the ones windows are placed in.
    void clickPoints_data()
    {
        QTest::addColumn<QPoint>("native");
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<QPoint>("logical");
        QTest::newRow("unscaled") << QPoint(1300, 12) << 1.0 << QPoint(1300, 12);
        QTest::newRow("scale 2") << QPoint(2600, 24) << 2.0 << QPoint(1300, 12);
        QTest::newRow("scale 1.5, rounded") << QPoint(1001, 15) << 1.5 << QPoint(667, 10);
        QTest::newRow("unknown stays unknown") << QPoint() << 2.0 << QPoint();
    }
    void clickPoints()
    {
        QFETCH(QPoint, native);
        QFETCH(qreal, ratio);
        QFETCH(QPoint, logical);
        QCOMPARE(TrayIcon::logicalPoint(native, ratio), logical);
    }

    void guides_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("guide");
        QTest::newRow("compact") << u"$12.3K"_s << u"$00.0K"_s;
        QTest::newRow("grouped") << u"$1,999"_s << u"$0,000"_s;
        QTest::newRow("code") << u"CHF\u00a0987"_s << u"CHF\u00a0000"_s;
        QTest::newRow("empty") << QString() << QString();
    }
    // The symbolic icon's file is written when it is missing or old, never
    // rewritten as it is: every rewrite costs a start a flush to disk.
    void iconFileWrittenOnlyWhenChanged_data()
    {
        QTest::addColumn<std::optional<QByteArray>>("before"); // none: no file yet
        QTest::addColumn<bool>("replaced");

        QTest::newRow("missing") << std::optional<QByteArray>() << true;
        QTest::newRow("current") << std::optional(snoutSvg()) << false;
        QTest::newRow("older, same size") << std::optional(snoutSvg().replace("svg", "SVG")) << true;
    }
    void iconFileWrittenOnlyWhenChanged()
    {
        QFETCH(std::optional<QByteArray>, before);
        QFETCH(bool, replaced);

        const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + u"/vesko/icons"_s;
        const QString path = folder + u'/' + QString::fromLatin1(TrayIcon::symbolicIconName) + u".svg"_s;
        QFile::remove(path);
        struct stat old = {};
        if (before) {
            QVERIFY(QDir().mkpath(folder));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(*before) == before->size());
            file.close();
            QCOMPARE(::stat(QFile::encodeName(path).constData(), &old), 0);
        }
        Stage stage;
        TrayIcon tray(*stage.model, stage.appearance, QDBusConnection::sessionBus());
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), snoutSvg());
        struct stat now = {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &now), 0);
        QCOMPARE(now.st_ino != old.st_ino || now.st_mtim.tv_nsec != old.st_mtim.tv_nsec
                     || now.st_mtim.tv_sec != old.st_mtim.tv_sec,
                 replaced);
    }

    void guides()
    {
        QFETCH(QString, text);
        QFETCH(QString, guide);
        QCOMPARE(labelGuide(text), guide);
    }
};

QTEST_MAIN(TrayTest)
#include "tst_tray.moc"
