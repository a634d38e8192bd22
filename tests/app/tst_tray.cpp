// The tray item as an indicator host sees it: a fake StatusNotifierWatcher on
// the test session's bus takes the registration, and a second connection reads
// the item's properties and menu the way a host does.
#include "AppModel.h"
#include "Appearance.h"
#include "DBusMenuTypes.h"
#include "Fakes.h"
#include "FakeIndicatorHost.h"
#include "Fixtures.h"
#include "ModelRig.h"
#include "ScriptedService.h"
#include "StatusNotifierTypes.h"
#include "Palette.h"
#include "PanelController.h"
#include "TrayIcon.h"
#include "TrayPanel.h"
#include "presenters/TrayText.h"

#include <QDBusConnection>
#include <QDBusMetaType>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QQuickView>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>

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
    Appearance appearance;

    explicit Stage(qint64 mrr = 1234567, std::optional<QString> token = QStringLiteral("tok"))
    {
        QJsonObject summary = fixtures::summary();
        summary["mrr"] = mrr;
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
        QTest::addColumn<MenuBarStyle>("style");
        QTest::addColumn<bool>("withSummary");
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("icon");
        QTest::addColumn<QString>("spoken");

        const QString name = QStringLiteral("Vesko");
        const QString figure = QStringLiteral("Vesko, MRR $12.3K");
        QTest::newRow("both, none") << MenuBarStyle::both << false << QString() << true << name;
        QTest::newRow("both, summary") << MenuBarStyle::both << true << QStringLiteral("$12.3K") << true << figure;
        QTest::newRow("amount, none") << MenuBarStyle::amount << false << QString() << true << name;
        QTest::newRow("amount, summary") << MenuBarStyle::amount << true << QStringLiteral("$12.3K") << false << figure;
        QTest::newRow("snout, none") << MenuBarStyle::snout << false << QString() << true << name;
        QTest::newRow("snout, summary") << MenuBarStyle::snout << true << QString() << true << figure;
    }
    void labelFollowsStyleAndSummary()
    {
        QFETCH(MenuBarStyle, style);
        QFETCH(bool, withSummary);
        QFETCH(QString, label);
        QFETCH(bool, icon);
        QFETCH(QString, spoken);

        FakeWatcher watcher(QStringLiteral("watcher"));
        Stage stage(1234567, withSummary ? std::optional(QStringLiteral("tok")) : std::nullopt);
        stage.model->setMenuBarStyle(style);
        if (withSummary)
            QVERIFY(stage.load());
        TrayIcon tray(*stage.model, stage.appearance, QDBusConnection::sessionBus());
        QVERIFY(tray.show());
        QTRY_COMPARE(tray.host(), TrayIcon::Host::statusNotifier);
        QCOMPARE(watcher.registered, QStringList{tray.item().serviceName()});

        Host host{.service = tray.item().serviceName()};
        const QVariantMap read = host.properties();
        QCOMPARE(read.value("XAyatanaLabel").toString(), label);
        QCOMPARE(read.value("XAyatanaLabelGuide").toString(), labelGuide(label));
        QCOMPARE(read.value("Title").toString(), spoken);
        QCOMPARE(read.value("IconAccessibleDesc").toString(), spoken);
        QCOMPARE(toolTipTitle(read.value("ToolTip")), spoken);
        QCOMPARE(!pixmapsOf(read.value("IconPixmap")).isEmpty(), icon);
        QCOMPARE(!read.value("IconName").toString().isEmpty(), icon);
        QCOMPARE(read.value("Menu").value<QDBusObjectPath>().path(), QStringLiteral("/MenuBar"));
    }

    // Changes reach the host through the protocol's signals, without a refresh.
    void changesAreAnnounced()
    {
        FakeWatcher watcher(QStringLiteral("watcher"));
        Stage stage(99999);
        QVERIFY(stage.load());
        TrayIcon tray(*stage.model, stage.appearance, QDBusConnection::sessionBus());
        QVERIFY(tray.show());
        QTRY_COMPARE(tray.host(), TrayIcon::Host::statusNotifier);

        Host host{.service = tray.item().serviceName()};
        QSignalSpy labels(&tray.item(), &StatusNotifierItem::newLabel);
        QSignalSpy icons(&tray.item(), &StatusNotifierItem::newIcon);
        QCOMPARE(host.properties().value("XAyatanaLabel").toString(), QStringLiteral("$1,000"));
        QCOMPARE(host.properties().value("XAyatanaLabelGuide").toString(), QStringLiteral("$0,000"));

        const int before = stage.service.count("/v1/summary");
        stage.model->setMenuBarStyle(MenuBarStyle::snout);
        QCOMPARE(labels.size(), 1);
        QCOMPARE(host.properties().value("XAyatanaLabel").toString(), QString());
        stage.model->setMenuBarStyle(MenuBarStyle::amount);
        QCOMPARE(labels.size(), 2);
        QCOMPARE(icons.size(), 1); // the snout goes
        QCOMPARE(pixmapsOf(host.properties().value("IconPixmap")).size(), 0);
        QCOMPARE(stage.service.count("/v1/summary"), before);

        // Signed out: the snout alone, whatever the style.
        stage.model->signOut();
        QTRY_VERIFY(!stage.model->summary());
        const QVariantMap read = host.properties();
        QCOMPARE(read.value("XAyatanaLabel").toString(), QString());
        QVERIFY(!pixmapsOf(read.value("IconPixmap")).isEmpty());
        QCOMPARE(read.value("Title").toString(), QStringLiteral("Vesko"));
    }

    // The icon the host draws is the snout: opaque capsule, see-through nostrils and corners.
    void iconPixmapsAreTheSnout()
    {
        for (const bool dark : {false, true}) {
            const auto content = TrayIcon::contentFor(trayText(true, std::nullopt, QStringLiteral("Vesko")), dark, {});
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
        FakeWatcher watcher(QStringLiteral("watcher"));
        Stage stage;
        TrayIcon tray(*stage.model, stage.appearance, QDBusConnection::sessionBus());
        QVERIFY(tray.show());
        QTRY_COMPARE(tray.host(), TrayIcon::Host::statusNotifier);
        Host host{.service = tray.item().serviceName()};

        QSignalSpy activated(&tray, &TrayIcon::activated);
        host.call(QStringLiteral("/StatusNotifierItem"), QStringLiteral("org.kde.StatusNotifierItem"),
                  QStringLiteral("Activate"), {120, 8});
        QTRY_COMPARE(activated.size(), 1);
        QCOMPARE(activated.first().first().toPoint(), QPoint(120, 8));

        const QDBusMessage layout = host.call(QStringLiteral("/MenuBar"), QStringLiteral("com.canonical.dbusmenu"),
                                              QStringLiteral("GetLayout"), {0, -1, QStringList()});
        QCOMPARE(layout.type(), QDBusMessage::ReplyMessage);
        const auto root = qdbus_cast<DBusMenuLayoutItem>(layout.arguments().value(1));
        QStringList seen;
        for (const DBusMenuLayoutItem &child : root.children)
            seen << child.properties.value("label", child.properties.value("type")).toString();
        QCOMPARE(seen, (QStringList{"Open Vesko", "Hide amounts", "separator", "Quit Vesko"}));

        QSignalSpy open(&tray, &TrayIcon::openPanelRequested);
        QSignalSpy quit(&tray, &TrayIcon::quitRequested);
        const auto click = [&](int id) {
            host.call(QStringLiteral("/MenuBar"), QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("Event"),
                      {id, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u});
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
        FakeWatcher watcher(QStringLiteral("watcher"));
        Stage stage;
        QVERIFY(stage.load());
        TrayIcon tray(*stage.model, stage.appearance, QDBusConnection::sessionBus());
        QVERIFY(tray.show());
        QTRY_COMPARE(tray.host(), TrayIcon::Host::statusNotifier);
        Host host{.service = tray.item().serviceName()};
        host.call(QStringLiteral("/MenuBar"), QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("Event"),
                  {int(TrayIcon::hideAmountsEntry), QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u});
        QTRY_VERIFY(stage.model->hideAmounts());
        const QVariantMap read = host.properties();
        QCOMPARE(read.value("XAyatanaLabel").toString(), QStringLiteral("$\u2022\u2022\u2022"));
        QCOMPARE(read.value("Title").toString(), QStringLiteral("Vesko, MRR $\u2022\u2022\u2022"));
        for (const char *text : {"Title", "IconAccessibleDesc", "XAyatanaLabel", "XAyatanaLabelGuide"})
            QVERIFY2(!read.value(text).toString().contains(QRegularExpression(QStringLiteral("\\d"))), text);
        QCOMPARE(toolTipTitle(read.value("ToolTip")), read.value("Title").toString());
        const QDBusMessage state = host.call(QStringLiteral("/MenuBar"), QStringLiteral("com.canonical.dbusmenu"),
                                             QStringLiteral("GetProperty"),
                                             {int(TrayIcon::hideAmountsEntry), QStringLiteral("toggle-state")});
        QCOMPARE(state.arguments().value(0).value<QDBusVariant>().variant().toInt(), 1);
    }

    // A shell restart: the watcher goes away and a new one must get the item again.
    void registersAgainWithANewWatcher()
    {
        Stage stage;
        TrayIcon tray(*stage.model, stage.appearance, QDBusConnection::sessionBus());
        QVERIFY(!tray.show()); // no watcher, and a QGuiApplication has no old tray
        QCOMPARE(tray.host(), TrayIcon::Host::none);
        {
            FakeWatcher first(QStringLiteral("first"));
            QTRY_COMPARE(first.registered.size(), 1);
            QTRY_COMPARE(tray.host(), TrayIcon::Host::statusNotifier);
        }
        QTRY_COMPARE(tray.host(), TrayIcon::Host::none);
        FakeWatcher second(QStringLiteral("second"));
        QTRY_COMPARE(second.registered, QStringList{tray.item().serviceName()});
        QTRY_COMPARE(tray.host(), TrayIcon::Host::statusNotifier);
    }

    void panelPlacement_data()
    {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QPoint>("topLeft");
        // A 360×500 panel; work areas below a 30 px top bar or above a 40 px bottom panel.
        const QRect belowBar(0, 30, 1920, 1050), aboveBar(0, 0, 1920, 1040);
        QTest::newRow("under a top-bar click") << belowBar << QPoint(1000, 15) << QPoint(820, 30);
        QTest::newRow("clamped at the right edge") << belowBar << QPoint(1910, 15) << QPoint(1560, 30);
        QTest::newRow("clamped at the left edge") << belowBar << QPoint(5, 15) << QPoint(0, 30);
        QTest::newRow("below a click inside the work area") << belowBar << QPoint(1000, 100) << QPoint(820, 104);
        QTest::newRow("above a bottom-panel click") << aboveBar << QPoint(1000, 1060) << QPoint(820, 540);
        QTest::newRow("bigger than the screen") << QRect(0, 30, 300, 400) << QPoint(150, 10) << QPoint(0, 30);
    }
    void panelPlacement()
    {
        QFETCH(QRect, available);
        QFETCH(QPoint, at);
        QFETCH(QPoint, topLeft);
        QCOMPARE(TrayPanel::placement(available, QSize(360, 500), at), topLeft);
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

    void guides_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("guide");
        QTest::newRow("compact") << QStringLiteral("$12.3K") << QStringLiteral("$00.0K");
        QTest::newRow("grouped") << QStringLiteral("$1,999") << QStringLiteral("$0,000");
        QTest::newRow("code") << QStringLiteral("CHF\u00a0987") << QStringLiteral("CHF\u00a0000");
        QTest::newRow("empty") << QString() << QString();
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
