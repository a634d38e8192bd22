// The drop-down panel: where it hangs, that it fits its screen while its
// content changes, and the ways it goes away.
#include "app/core/AppModel.h"
#include "app/ui/Palette.h"
#include "app/ui/PanelController.h"
#include "app/ui/tray/TrayPanel.h"
#include "tests/support/Fakes.h"
#include "tests/support/Fixtures.h"
#include "tests/support/ModelRig.h"
#include "tests/support/ScriptedService.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QQuickItem>
#include <QQuickView>
#include <QRawFont>
#include <QScreen>
#include <QTest>
#include <QtMath>

using namespace Qt::StringLiterals;

using namespace vesko;

namespace {

struct Stage : ModelRig
{
    std::unique_ptr<AppModel> model;
    Palette palette;
    std::unique_ptr<PanelController> controller;
    std::unique_ptr<TrayPanel> panel;

    explicit Stage(QMap<QByteArray, ScriptedReply> replies = {})
    {
        service.replies = std::move(replies);
        secrets.stored = u"tok"_s;
        model = std::make_unique<AppModel>(environment());
        controller = std::make_unique<PanelController>(*model, palette);
        panel = std::make_unique<TrayPanel>(*controller);
    }
    bool settle()
    {
        return QTest::qWaitFor([&] { return model->findChildren<Refresh *>().isEmpty(); }, 5000);
    }
    QQuickView *view() const { return panel->window(); }
    QQuickItem *item(const QString &name) const { return view()->rootObject()->findChild<QQuickItem *>(name); }
};

QRect available()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

} // namespace

class TrayPanelTest : public QObject
{
    Q_OBJECT

private slots:
    // A binding that reads nothing (an unregistered type, a missing `Panel`)
    // warns from the module's files: any such warning fails the test.
    void init() { QTest::failOnWarning(QRegularExpression(u"qrc:/vesko/|Vesko\\.Panel"_s)); }
    void placement_data()
    {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QPoint>("topLeft");
        // A 360×500 panel; work areas below a 30 px top bar, above a 40 px
        // bottom panel, and on a second screen to the right.
        const QRect belowBar(0, 30, 1920, 1050), aboveBar(0, 0, 1920, 1040), second(1920, 27, 1366, 741);
        QTest::newRow("under a top-bar item") << belowBar << QPoint(1000, 15) << QPoint(820, 36);
        QTest::newRow("a point inside the work area still hangs from the bar")
            << belowBar << QPoint(1000, 300) << QPoint(820, 36);
        QTest::newRow("kept off the right edge") << belowBar << QPoint(1910, 15) << QPoint(1554, 36);
        QTest::newRow("kept off the left edge") << belowBar << QPoint(5, 15) << QPoint(6, 36);
        QTest::newRow("over a bottom-panel item") << aboveBar << QPoint(1000, 1060) << QPoint(820, 534);
        QTest::newRow("lower half of the work area") << aboveBar << QPoint(300, 700) << QPoint(120, 534);
        QTest::newRow("second screen, bar on top") << second << QPoint(3200, 10) << QPoint(2920, 33);
        QTest::newRow("too narrow for the gaps: centred") << QRect(0, 30, 364, 900) << QPoint(350, 10) << QPoint(2, 36);
        QTest::newRow("bigger than the screen") << QRect(0, 30, 300, 400) << QPoint(150, 10) << QPoint(0, 30);
    }
    void placement()
    {
        QFETCH(QRect, available);
        QFETCH(QPoint, at);
        QFETCH(QPoint, topLeft);
        const QSize size(360, 500);
        const QPoint placed = TrayPanel::placement(available, size, at);
        QCOMPARE(placed, topLeft);
        if (size.height() <= TrayPanel::maximumHeight(available))
            QVERIFY(available.contains(QRect(placed, size)));
    }

    void anchor_data()
    {
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QPoint>("last");
        QTest::addColumn<bool>("cursorKnown");
        QTest::addColumn<QPoint>("expected");
        const QPoint item(1250, 16), earlier(1180, 14), cursor(700, 400);
        QTest::newRow("the host's point") << item << earlier << true << item;
        QTest::newRow("from the menu: where the host last clicked") << QPoint() << earlier << true << earlier;
        QTest::newRow("never clicked: the pointer") << QPoint() << QPoint() << true << cursor;
        QTest::newRow("pointer unknown: the bar's right end") << QPoint() << QPoint() << false << QPoint(1365, 0);
        QTest::newRow("pointer unknown, clicked before") << QPoint() << earlier << false << earlier;
    }
    void anchor()
    {
        QFETCH(QPoint, at);
        QFETCH(QPoint, last);
        QFETCH(bool, cursorKnown);
        QFETCH(QPoint, expected);
        const std::optional<QPoint> pointer = cursorKnown ? std::optional(QPoint(700, 400)) : std::nullopt;
        QCOMPARE(TrayPanel::anchor(at, last, pointer, QRect(0, 0, 1366, 768)), expected);
    }

    // A dashboard taller than the screen scrolls inside a window that fits,
    // and a panel that grows while open stays hung from its bar edge.
    void fitsItsScreen_data()
    {
        QTest::addColumn<bool>("fromBottom");
        QTest::newRow("top bar") << false;
        QTest::newRow("bottom panel") << true;
    }
    void fitsItsScreen()
    {
        QFETCH(bool, fromBottom);
        Stage stage({{"/v1/summary", ScriptedReply::json(500, "{}")}});
        QVERIFY(stage.settle());
        const QRect area = available();
        const QPoint click(area.center().x() + 150, fromBottom ? area.bottom() + 10 : area.top() - 10);
        stage.panel->toggle(click);
        QVERIFY(QTest::qWaitForWindowExposed(stage.view()));
        QVERIFY(stage.settle());
        QCOMPARE(stage.controller->state().block, PanelState::Block::Message);
        const QRect small = stage.view()->geometry();
        QCOMPARE(small.topLeft(), TrayPanel::placement(area, small.size(), click));

        // Enough sales to make the dashboard taller than any screen.
        QJsonArray events;
        for (int i = 0; i < 30; ++i)
            events.append(fixtures::event(u"ev_%1"_s.arg(i)));
        stage.service.replies = {{"/v1/events", ScriptedReply::json(200, fixtures::envelope(events))}};
        stage.controller->messageAction();
        QVERIFY(stage.settle());
        QCOMPARE(stage.controller->state().block, PanelState::Block::Dashboard);
        QQuickItem *root = stage.view()->rootObject();
        QTRY_VERIFY(stage.view()->height() > small.height());
        const QRect grown = stage.view()->geometry();
        QCOMPARE(grown.size(), QSize(qCeil(root->width()), qCeil(root->height())));
        QCOMPARE(grown.topLeft(), TrayPanel::placement(area, grown.size(), click));
        QVERIFY(area.contains(grown));
        QVERIFY(grown.height() <= TrayPanel::maximumHeight(area));
        QCOMPARE(fromBottom ? grown.bottom() : grown.top(), fromBottom ? small.bottom() : small.top());
        // Taller than the screen: it scrolls, and the footer stays in view.
        auto *scroller = stage.item(u"scroller"_s);
        QVERIFY(scroller->property("contentHeight").toReal() > scroller->height());
        QQuickItem *footer = stage.item(u"footer"_s);
        QVERIFY(footer->isVisible());
        QVERIFY(footer->mapToScene(QPointF(0, footer->height())).y() <= root->height());
    }

    // Escape and a click outside close it; with the More menu open, Escape
    // closes only the menu. A null point reuses the item's last place.
    void dismissal_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("menuOpen");
        QTest::addColumn<bool>("panelStays");
        QTest::newRow("escape") << "escape" << false << false;
        QTest::newRow("click outside") << "outside" << false << false;
        QTest::newRow("click inside") << "inside" << false << true;
        QTest::newRow("escape with the menu open") << "escape" << true << true;
    }
    void dismissal()
    {
        QFETCH(QString, how);
        QFETCH(bool, menuOpen);
        QFETCH(bool, panelStays);
        Stage stage;
        QVERIFY(stage.settle());
        const QPoint item(area().left() + 200, area().top() - 10);
        stage.panel->toggle(item);
        stage.panel->toggle(item);
        QVERIFY(!stage.panel->isVisible());
        stage.panel->toggle(QPoint());
        QVERIFY(stage.panel->isVisible());
        QQuickView *view = stage.view();
        QCOMPARE(view->position(), TrayPanel::placement(area(), view->size(), item));
        QVERIFY(QTest::qWaitForWindowExposed(view));
        QVERIFY(stage.settle());

        auto *menu = view->rootObject()->findChild<QQuickWindow *>(u"footerMenu"_s);
        QVERIFY(menu);
        if (menuOpen) {
            QQuickItem *more = stage.item(u"moreButton"_s);
            QTest::mouseClick(view, Qt::LeftButton, {}, more->mapToScene(QPointF(11, 11)).toPoint());
            QVERIFY(QTest::qWaitForWindowExposed(menu));
        }
        if (how == u"escape"_s)
            QTest::keyClick(view, Qt::Key_Escape);
        else
            QTest::mouseClick(view, Qt::LeftButton, {}, how == u"inside"_s ? QPoint(100, 10) : QPoint(-30, 10));
        QVERIFY(!menu->isVisible());
        QCOMPARE(stage.panel->isVisible(), panelStays);
    }

    // The panel keeps the keyboard while its menu is open, and hands the
    // menu its keys: the arrows walk the entries, Return picks one.
    void menuTakesThePanelsKeys()
    {
        Stage stage;
        QVERIFY(stage.settle());
        stage.panel->toggle(QPoint(area().left() + 200, area().top() - 10));
        QQuickView *view = stage.view();
        QVERIFY(QTest::qWaitForWindowExposed(view));
        QVERIFY(stage.settle());
        auto *menu = view->rootObject()->findChild<QQuickWindow *>(u"footerMenu"_s);
        QQuickItem *more = stage.item(u"moreButton"_s);
        QTest::mouseClick(view, Qt::LeftButton, {}, more->mapToScene(QPointF(11, 11)).toPoint());
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        const auto focused = [&] {
            QQuickItem *item = menu->activeFocusItem();
            return item ? item->property("text").toString() : QString();
        };
        QTest::keyClick(view, Qt::Key_Down);
        QCOMPARE(focused(), u"Account settings\u2026"_s);
        QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Down);
        QCOMPARE(focused(), u"Amount only"_s);
        QTest::keyClick(view, Qt::Key_Return);
        QTRY_VERIFY(!menu->isVisible());
        QCOMPARE(stage.model->trayStyle(), TrayStyle::amount);
        QVERIFY(stage.panel->isVisible());
    }

    // The amounts' font has one advance for every digit, at every weight it is set in.
    void tabularFigures_data()
    {
        QTest::addColumn<int>("weight");
        QTest::newRow("bold") << int(QFont::Bold);
        QTest::newRow("extra bold") << int(QFont::ExtraBold);
    }
    void tabularFigures()
    {
        QFETCH(int, weight);
        Palette palette;
        ModelRig rig;
        AppModel model(rig.environment());
        PanelController controller(model, palette);
        const QString family = controller.displayFamily();
        QVERIFY(!family.isEmpty());
        QFont font(family);
        font.setPixelSize(48);
        font.setWeight(QFont::Weight(weight));
        const QRawFont raw = QRawFont::fromFont(font);
        QVERIFY(raw.isValid());
        QVERIFY(raw.familyName() == family);
        const QList<QPointF> advances = raw.advancesForGlyphIndexes(raw.glyphIndexesForString(u"0123456789"_s));
        QCOMPARE(advances.size(), 10);
        for (const QPointF &advance : advances)
            QCOMPARE(advance.x(), advances.constFirst().x());
    }

private:
    static QRect area() { return available(); }
};

QTEST_MAIN(TrayPanelTest)
#include "tst_traypanel.moc"
