// The panel rendered offscreen against a scripted service: what a user reads
// in each state, a few pixels where the drawing itself matters, and the
// refresh that belongs to a showing.
#include "app/core/AppModel.h"
#include "app/core/MilestoneWatcher.h"
#include "app/core/UpdateNotices.h"
#include "app/core/Updater.h"
#include "app/ui/Palette.h"
#include "app/ui/PanelController.h"
#include "app/ui/PanelQml.h"
#include "app/ui/Sparkline.h"
#include "app/ui/StandaloneWindows.h"
#include "tests/support/Fakes.h"
#include "tests/support/Fixtures.h"
#include "tests/support/ModelRig.h"
#include "tests/support/ScriptedService.h"

#include <QAccessible>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace vesko;

namespace {

const QDateTime t0 = QDateTime::fromSecsSinceEpoch(1772357400, Qt::UTC);
using Replies = QMap<QByteArray, ScriptedReply>;

ScriptedReply ok(const QJsonValue &data)
{
    return ScriptedReply::json(200, fixtures::envelope(data));
}

QJsonObject project(const QString &id, const QString &color, qint64 mrr)
{
    return QJsonObject{{u"id"_s, id}, {u"name"_s, u"Project "_s + id}, {u"color"_s, color}, {u"mrr"_s, mrr}};
}

// The fixture summary with these projects.
QJsonObject withProjects(const QJsonArray &projects)
{
    QJsonObject summary = fixtures::summary();
    summary[u"by_project"_s] = projects;
    return summary;
}

// One model, its service and the panel showing it.
struct Stage : ModelRig
{
    Replies &replies = service.replies;
    std::unique_ptr<AppModel> model;
    Palette palette;
    std::unique_ptr<PanelController> panel;
    QQuickView view;

    Stage(std::optional<QString> token, Replies scripted, bool dark = false)
    {
        replies = std::move(scripted);
        secrets.stored = std::move(token);
        model = std::make_unique<AppModel>(environment([] { return t0; }));
        palette.setDark(dark);
        panel = std::make_unique<PanelController>(*model, palette, [] { return t0.addSecs(300); });
        panel->expose(*view.engine());
        view.setResizeMode(QQuickView::SizeViewToRootObject);
    }
    int refreshes() const { return int(model->findChildren<Refresh *>().size()); }
    void settle() { QTRY_COMPARE_WITH_TIMEOUT(refreshes(), 0, 5000); }
    bool show()
    {
        view.setSource(panelQml(u"PanelView.qml"_s));
        view.show();
        return view.status() == QQuickView::Ready && QTest::qWaitForWindowExposed(&view);
    }
    // The visible items in tree order (a repeater's rows have no QObject parent).
    QList<QQuickItem *> visibleItems(QQuickItem *root = nullptr) const
    {
        QList<QQuickItem *> seen;
        std::function<void(QQuickItem *)> walk = [&](QQuickItem *item) {
            if (!item->isVisible())
                return;
            seen << item;
            for (QQuickItem *child : item->childItems())
                walk(child);
        };
        walk(root ? root : view.rootObject());
        return seen;
    }
    QQuickItem *item(const QString &name) const { return view.rootObject()->findChild<QQuickItem *>(name); }
    QList<QQuickItem *> items(const QString &name) const
    {
        QList<QQuickItem *> found = visibleItems();
        found.removeIf([&](QQuickItem *item) { return item->objectName() != name; });
        return found;
    }
    // Every text a user can see.
    QStringList texts(QQuickItem *root = nullptr) const
    {
        QStringList seen;
        for (QQuickItem *item : visibleItems(root))
            if (item->inherits("QQuickText") && !item->property("text").toString().isEmpty())
                seen << item->property("text").toString();
        return seen;
    }
};

// What a screen reader finds in a window: every object it can reach that is
// shown, as its role and name, depth first.
struct Spoken
{
    QAccessible::Role role;
    QString name;
};

QList<Spoken> spokenTree(QWindow *window)
{
    QList<Spoken> found;
    std::function<void(QAccessibleInterface *)> walk = [&](QAccessibleInterface *node) {
        if (!node || node->state().invisible)
            return;
        found.append({node->role(), node->text(QAccessible::Name)});
        for (int i = 0; i < node->childCount(); ++i)
            walk(node->child(i));
    };
    walk(QAccessible::queryAccessibleInterface(window));
    return found;
}

QStringList named(const QList<Spoken> &tree, QAccessible::Role role)
{
    QStringList names;
    for (const Spoken &node : tree)
        if (node.role == role)
            names << node.name;
    return names;
}

struct FakeUpdater : Updater
{
    int checks = 0;
    void checkForUpdates() override { ++checks; }
    void found() { emit updateAvailable(u"1.3"_s, QUrl(u"https://x.test/get"_s), true); }
};

} // namespace

class PanelTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        FakeBrowserSession::all.clear();
        // A binding that reads nothing (an unregistered type, a missing
        // `Panel`) warns from the module's files: any such warning fails.
        QTest::failOnWarning(QRegularExpression(u"qrc:/vesko/|Vesko\\.Panel"_s));
    }

    void states_data()
    {
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<bool>("signIn");
        QTest::addColumn<Replies>("replies");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("absent");
        QTest::addColumn<bool>("footer");
        QJsonObject noChannels = fixtures::summary();
        noChannels[u"by_channel"_s] = QJsonArray{QJsonObject{{u"channel"_s, u"web"_s}, {u"mrr"_s, 0}}};
        noChannels[u"mrr"_s] = 0;
        const QString waiting = u"Waiting for your browser\u2026"_s;
        const QStringList dashboard{u"MONTHLY RECURRING REVENUE"_s, u"Latest veskos"_s};

        QTest::newRow("signed out") << false << false << Replies{}
                                    << QStringList{u"Your MRR in the menu bar"_s, u"Sign in"_s}
                                    << QStringList{waiting, u"Cancel"_s, u"Open dashboard"_s} << false;
        QTest::newRow("signing in") << false << true << Replies{} << QStringList{waiting, u"Cancel"_s}
                                    << QStringList{u"Sign in"_s, u"Open dashboard"_s} << false;
        QTest::newRow("loading") << true << false
                                 << Replies{{"/v1/summary", ScriptedReply{.mode = ScriptedReply::Mode::stall}}}
                                 << QStringList{u"Open dashboard"_s}
                                 << dashboard + QStringList{u"Sign in"_s, u"No numbers yet"_s} << true;
        QTest::newRow("failed without data")
            << true << false << Replies{{"/v1/summary", ScriptedReply::json(500, "{}")}}
            << QStringList{u"No numbers yet"_s, Phase::loadFailedMessage(), u"Try again"_s} << dashboard << true;
        QTest::newRow("ready") << true << false << Replies{}
                               << dashboard
                                      + QStringList{u"$12,346"_s,
                                                    u"+12%"_s,
                                                    u"Where it comes from"_s,
                                                    u"Web"_s,
                                                    u"Stripe"_s,
                                                    u"$8,000"_s,
                                                    u"\u20AC9.99 / month"_s,
                                                    u"New"_s,
                                                    u"5 min"_s,
                                                    u"Updated 5 min ago"_s,
                                                    u"Open dashboard"_s}
                               << QStringList{u"No numbers yet"_s,
                                              u"New subscribers show up here the moment they arrive."_s}
                               << true;
        QTest::newRow("ready, nothing earned, no events")
            << true << false << Replies{{"/v1/summary", ok(noChannels)}, {"/v1/events", ok(QJsonArray{})}}
            << dashboard + QStringList{u"New subscribers show up here the moment they arrive."_s}
            << QStringList{u"Where it comes from"_s, u"Web"_s} << true;
    }
    void states()
    {
        QFETCH(bool, signedIn);
        QFETCH(bool, signIn);
        QFETCH(Replies, replies);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, absent);
        QFETCH(bool, footer);
        const bool stalls = replies.value("/v1/summary").mode == ScriptedReply::Mode::stall;
        Stage stage(signedIn ? std::optional(u"tok"_s) : std::nullopt, replies);
        if (signIn)
            stage.model->signIn();
        if (!stalls)
            stage.settle();
        QVERIFY(stage.show());
        const QStringList texts = stage.texts();
        for (const QString &text : shown)
            QVERIFY2(texts.contains(text), qPrintable(text + u" missing from "_s + texts.join(u" | "_s)));
        for (const QString &text : absent)
            QVERIFY2(!texts.contains(text), qPrintable(text + u" shown in "_s + texts.join(u" | "_s)));
        QCOMPARE(stage.item(u"footer"_s)->isVisible(), footer);
        QCOMPARE(stage.item(u"spinner"_s)->isVisible(), stalls);
        if (signIn)
            QVERIFY(!stage.item(u"signInButton"_s)->isEnabled());
    }

    void sectionsInOrder()
    {
        Stage stage(u"tok"_s, {});
        stage.settle();
        QVERIFY(stage.show());
        const QStringList texts = stage.texts();
        qsizetype previous = -1;
        for (const char *section :
             {"MONTHLY RECURRING REVENUE", "Where it comes from", "Latest veskos", "Updated 5 min ago"}) {
            const qsizetype at = texts.indexOf(QString::fromLatin1(section));
            QVERIFY2(at > previous, section);
            previous = at;
        }
    }

    // The card is painted rather than clipped; its blue must reach its edges.
    void heroIsBrandBlue_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }
    void heroIsBrandBlue()
    {
        QFETCH(bool, dark);
        Stage stage(u"tok"_s, {}, dark);
        stage.settle();
        QVERIFY(stage.show());
        QQuickItem *hero = stage.item(u"hero"_s);
        const QPoint nearBottomLeft = hero->mapToScene(QPointF(6, hero->height() - 8)).toPoint();
        // The canvas paints a frame after the window first shows.
        QTRY_COMPARE(stage.view.grabWindow().pixelColor(nearBottomLeft), stage.palette.brandBlue());
        const QImage image = stage.view.grabWindow();
        // The rounded corner shows the panel behind it.
        QCOMPARE(image.pixelColor(hero->mapToScene(QPointF(0, hero->height() - 1)).toPoint()),
                 stage.palette.panelBackground());
    }

    // The badge's colour follows the event's kind.
    void badgeColours_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("badge");
        QTest::addColumn<QColor>("color");
        QTest::newRow("new") << u"new"_s << u"New"_s << srgb(colors::mint);
        QTest::newRow("cancelled") << u"cancelled"_s << u"Cancelled"_s << srgb(colors::coral);
        QTest::newRow("reactivated") << u"reactivated"_s << u"Back"_s << srgb(colors::lavender);
    }
    void badgeColours()
    {
        QFETCH(QString, kind);
        QFETCH(QString, badge);
        QFETCH(QColor, color);
        QJsonObject event = fixtures::event();
        event[u"kind"_s] = kind;
        Stage stage(u"tok"_s, {{QByteArrayLiteral("/v1/events"), ok(QJsonArray{event})}});
        stage.settle();
        QVERIFY(stage.show());
        const QList<QQuickItem *> badges = stage.items(u"badge"_s);
        QCOMPARE(badges.size(), 1);
        QCOMPARE(stage.texts(badges.first()), QStringList{badge});
        QCOMPARE(badges.first()->property("color").value<QColor>(), color);
    }

    // Each engine's `Panel` is the controller exposed to it: two views, two
    // palettes, two backgrounds.
    void eachEngineHasItsOwnPanel()
    {
        Stage light(u"tok"_s, {});
        Stage dark(u"tok"_s, {}, true);
        light.settle();
        dark.settle();
        QVERIFY(light.show());
        QVERIFY(dark.show());
        const QPoint inside(4, 4);
        QCOMPARE(light.view.grabWindow().pixelColor(inside), light.palette.panelBackground());
        QCOMPARE(dark.view.grabWindow().pixelColor(inside), dark.palette.panelBackground());
        QVERIFY(light.palette.panelBackground() != dark.palette.panelBackground());
    }

    // A one-in-a-million share still shows a 6 px fill, not a sliver.
    void tinyShareKeepsMinimumBar()
    {
        QJsonObject summary = fixtures::summary();
        summary[u"by_channel"_s] = QJsonArray{QJsonObject{{u"channel"_s, u"web"_s}, {u"mrr"_s, 1000000}},
                                              QJsonObject{{u"channel"_s, u"app_store"_s}, {u"mrr"_s, 1}}};
        Stage stage(u"tok"_s, {{"/v1/summary", ok(summary)}});
        stage.settle();
        QVERIFY(stage.show());
        const QList<QQuickItem *> fills = stage.items(u"barFill"_s);
        QCOMPARE(fills.size(), 2);
        QCOMPARE(fills[0]->width(), fills[0]->parentItem()->width());
        QCOMPARE(fills[1]->width(), 6.0);
        const QImage image = stage.view.grabWindow();
        const QColor fill = stage.palette.channelColor(Channel::appStore);
        const QPointF origin = fills[1]->mapToScene(QPointF(0, 4));
        int filled = 0;
        for (int x = 0; x < 20; ++x) {
            const QColor c = image.pixelColor(int(origin.x()) + x, int(origin.y()));
            filled += qAbs(c.red() - fill.red()) + qAbs(c.green() - fill.green()) + qAbs(c.blue() - fill.blue()) < 60;
        }
        QVERIFY2(filled >= 5 && filled <= 6, qPrintable(QString::number(filled)));
    }

    // Hidden amounts: no text shows one, the bars keep their lengths.
    void hiddenAmounts()
    {
        Stage stage(u"tok"_s, {{"/v1/summary", ok(withProjects({project(u"p1"_s, u"#2340FF"_s, 700000),
                                                                project(u"p2"_s, u"#FF7DAA"_s, 534567)}))}});
        stage.settle();
        QVERIFY(stage.show());
        QVERIFY(stage.item(u"projects"_s)->isVisible());
        QList<qreal> bars;
        for (QQuickItem *fill : stage.items(u"barFill"_s) + stage.items(u"projectBarFill"_s))
            bars << fill->width();
        stage.model->setHideAmounts(true);
        QTRY_VERIFY2(stage.texts().contains(u"$\u2022\u2022\u2022"_s), qPrintable(stage.texts().join(u" | "_s)));
        const QRegularExpression amount(u"[$\u20AC\u00A3]\\d|\\d[.,]\\d\\d"_s);
        for (const QString &text : stage.texts())
            QVERIFY2(!amount.match(text).hasMatch(), qPrintable(text));
        QList<qreal> hidden;
        for (QQuickItem *fill : stage.items(u"barFill"_s) + stage.items(u"projectBarFill"_s))
            hidden << fill->width();
        QCOMPARE(hidden, bars);
        stage.model->setHideAmounts(false);
        QTRY_VERIFY(stage.texts().contains(u"$12,346"_s));
    }

    // The cards below the hero: figures, projects, or the note for an account
    // with no revenue source yet.
    void cards_data()
    {
        QTest::addColumn<QJsonObject>("summary");
        QTest::addColumn<QStringList>("visible"); // of the optional cards
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("absent");

        const QStringList figures{u"$148.1K"_s, u"ARR"_s, u"312"_s, u"active"_s,
                                  u"14"_s,      u"new"_s, u"3"_s,   u"cancelled"_s};
        QTest::newRow("one project") << fixtures::summary() << QStringList{u"figures"_s, u"channels"_s} << figures
                                     << QStringList{u"By project"_s, u"Project p1"_s};
        QTest::newRow("two projects, one paying")
            << withProjects({project(u"p1"_s, u"#2340FF"_s, 5000), project(u"p2"_s, u"#FF7DAA"_s, 0)})
            << QStringList{u"figures"_s, u"channels"_s} << figures << QStringList{u"By project"_s};
        QTest::newRow("two paying projects")
            << withProjects({project(u"p1"_s, u"#2340FF"_s, 5000), project(u"p2"_s, u"#FF7DAA"_s, 2500)})
            << QStringList{u"figures"_s, u"channels"_s, u"projects"_s}
            << figures + QStringList{u"By project"_s, u"Project p1"_s, u"$50"_s, u"Project p2"_s, u"$25"_s}
            << QStringList{};
        QJsonObject none = withProjects({project(u"p1"_s, u"#2340FF"_s, 5000), project(u"p2"_s, u"#FF7DAA"_s, 2500)});
        none[u"has_sources"_s] = false;
        QTest::newRow("no revenue source") << none << QStringList{u"noSources"_s} << QStringList{u"Connect a source"_s}
                                           << QStringList{u"ARR"_s, u"By project"_s, u"Where it comes from"_s};
    }
    void cards()
    {
        QFETCH(QJsonObject, summary);
        QFETCH(QStringList, visible);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, absent);
        Stage stage(u"tok"_s, {{"/v1/summary", ok(summary)}});
        stage.settle();
        QVERIFY(stage.show());
        QStringList cards;
        for (const QString &name : {u"figures"_s, u"noSources"_s, u"channels"_s, u"projects"_s})
            if (stage.item(name)->isVisible())
                cards << name;
        QCOMPARE(cards, visible);
        const QStringList texts = stage.texts();
        for (const QString &text : shown)
            QVERIFY2(texts.contains(text), qPrintable(text + u" missing from "_s + texts.join(u" | "_s)));
        for (const QString &text : absent)
            QVERIFY2(!texts.contains(text), qPrintable(text + u" shown in "_s + texts.join(u" | "_s)));
        if (stage.item(u"noSources"_s)->isVisible()) {
            QQuickItem *button = stage.item(u"connectSourceButton"_s);
            QTest::mouseClick(&stage.view, Qt::LeftButton, {}, button->mapToScene(QPointF(6, 6)).toPoint());
            QCOMPARE(stage.urls.opened.size(), 1);
        }
    }

    // A click anywhere on a project's row names that project; a colour that
    // is not "#RRGGBB" gives way to one of the palette's.
    void choosingAProject()
    {
        Stage stage(u"tok"_s, {{"/v1/summary", ok(withProjects({project(u"p1"_s, u"#123456"_s, 5000),
                                                                project(u"p2"_s, u"javascript:"_s, 2500)}))}});
        stage.settle();
        QVERIFY(stage.show());
        const QList<QQuickItem *> rows = stage.items(u"projectRow"_s);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0]->property("color").value<QColor>(), QColor(0x12, 0x34, 0x56));
        QCOMPARE(rows[1]->property("color").value<QColor>(), stage.palette.channelColor(Channel::paddle));
        QSignalSpy chosen(stage.panel.get(), &PanelController::projectChosen);
        QTest::mouseClick(&stage.view, Qt::LeftButton, {},
                          rows[1]->mapToScene(QPointF(rows[1]->width() - 4, rows[1]->height() - 3)).toPoint());
        QCOMPARE(stage.model->projectScope(), u"p2"_s);
        stage.settle();
        const QList<QQuickItem *> again = stage.items(u"projectRow"_s);
        QCOMPARE(again.size(), 2);
        QTest::mouseClick(&stage.view, Qt::LeftButton, {}, again[0]->mapToScene(QPointF(20, 6)).toPoint());
        QCOMPARE(chosen.count(), 2);
        QCOMPARE(chosen.at(0).at(0).toString(), u"p2"_s);
        QCOMPARE(chosen.at(1).at(0).toString(), u"p1"_s);
        QCOMPARE(stage.model->projectScope(), u"p1"_s);
    }

    // The hero's line and change come from the history of the signed-in
    // account, in the summary's currency; without a history, neither shows.
    void trend_data()
    {
        QTest::addColumn<bool>("attached");
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("currency");
        QTest::addColumn<bool>("line");
        QTest::newRow("no history") << false << u"u1"_s << u"USD"_s << false;
        QTest::newRow("the account's") << true << u"u1"_s << u"USD"_s << true;
        QTest::newRow("another account's") << true << u"u2"_s << u"USD"_s << false;
        QTest::newRow("another currency") << true << u"u1"_s << u"EUR"_s << false;
    }
    void trend()
    {
        QFETCH(bool, attached);
        QFETCH(QString, account);
        QFETCH(QString, currency);
        QFETCH(bool, line);
        Stage stage(u"tok"_s, {});
        stage.settle();
        FakeRevenueHistory history;
        // 1234567 now against 1100000 eight days ago: +12%.
        history.record(account, u"all"_s, currency, t0.addDays(-8), 1100000);
        history.record(account, u"all"_s, currency, t0.addDays(-2), 1200000);
        if (attached)
            stage.panel->setHistory(&history);
        QVERIFY(stage.show());
        QCOMPARE(stage.item(u"sparkline"_s)->isVisible(), line);
        QCOMPARE(stage.texts().contains(u"+12% vs 7 days ago"_s), line);
        if (line) {
            QQuickItem *sparkline = stage.item(u"sparkline"_s);
            QCOMPARE(sparkline->property("points").value<QList<QPointF>>().size(), 3);
            // The line's white crosses the blue of the hero somewhere.
            const QImage image = stage.view.grabWindow();
            const QRect area =
                sparkline->mapRectToScene(QRectF(0, 0, sparkline->width(), sparkline->height())).toAlignedRect();
            int white = 0;
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x)
                    white += image.pixelColor(x, y).lightness() > 200;
            QVERIFY2(white > area.width(), qPrintable(QString::number(white)));
        }
    }

    // The line's vertices: scaled into the item inside half the stroke, y
    // upwards, one pixel column's many points down to its lowest and highest.
    void sparklineOutline_data()
    {
        QTest::addColumn<QList<QPointF>>("points");
        QTest::addColumn<QList<QPointF>>("line"); // in a 102 × 22 item, stroke 2
        QTest::newRow("corners") << QList<QPointF>{{0, 0}, {1, 1}} << QList<QPointF>{{1, 21}, {101, 1}};
        QTest::newRow("middle line") << QList<QPointF>{{0, 0.5}, {0.5, 0.5}, {1, 0.5}}
                                     << QList<QPointF>{{1, 11}, {51, 11}, {101, 11}};
        QTest::newRow("out of range clamped") << QList<QPointF>{{-1, -1}, {2, 2}} << QList<QPointF>{{1, 21}, {101, 1}};
        QTest::newRow("one column: its high then its low, as they came")
            << QList<QPointF>{{0.5, 0.5}, {0.501, 1}, {0.502, 0.25}, {0.503, 0.75}, {1, 0.5}}
            << QList<QPointF>{{51.1, 1}, {51.2, 16}, {101, 11}};
        QTest::newRow("one column, low first")
            << QList<QPointF>{{0.5, 0.4}, {0.501, 0}, {0.502, 1}} << QList<QPointF>{{51.1, 21}, {51.2, 1}};
    }
    void sparklineOutline()
    {
        QFETCH(QList<QPointF>, points);
        QFETCH(QList<QPointF>, line);
        const QList<QPointF> outline = Sparkline::outline(points, {102, 22}, 2);
        QCOMPARE(outline.size(), line.size());
        for (qsizetype i = 0; i < line.size(); ++i) {
            QVERIFY2(QLineF(outline.at(i), line.at(i)).length() < 1e-6,
                     qPrintable(u"vertex %1: %2, %3"_s.arg(i).arg(outline.at(i).x()).arg(outline.at(i).y())));
        }
    }

    // The strip keeps the stroke's width along straight runs and at bends.
    void sparklineStrip()
    {
        const QList<QPointF> line{{0, 10}, {10, 10}, {20, 0}, {30, 0}};
        const QList<QPointF> strip = Sparkline::strip(line, 4);
        QCOMPARE(strip.size(), 2 * line.size());
        // Straight ends: the two vertices 4 apart, square across the line.
        QCOMPARE(strip.at(0), QPointF(0, 12));
        QCOMPARE(strip.at(1), QPointF(0, 8));
        QCOMPARE(strip.at(6), QPointF(30, 2));
        QCOMPARE(strip.at(7), QPointF(30, -2));
        // At a 45° bend each side stays 2 from both segments.
        for (int i : {2, 3}) {
            const QPointF v = strip.at(i);
            const qreal fromFlat = qAbs(v.y() - 10);
            const qreal fromSlope = qAbs(v.x() + v.y() - 20) / std::sqrt(2.0);
            QVERIFY2(qAbs(fromFlat - 2) < 1e-9 && qAbs(fromSlope - 2) < 1e-9, qPrintable(QString::number(i)));
        }
        QVERIFY(Sparkline::strip({{0, 0}}, 4).isEmpty());
    }

    // The refresh started by a showing is cancelled when the panel hides.
    void hidingCancelsTheShowingsRefresh()
    {
        Stage stage(u"tok"_s, {});
        stage.settle();
        stage.replies.insert("/v1/summary", ScriptedReply{.mode = ScriptedReply::Mode::stall});
        stage.panel->shown();
        QCOMPARE(stage.refreshes(), 1);
        stage.panel->hidden();
        QTRY_COMPARE(stage.refreshes(), 0);
        QCOMPARE(stage.model->phase(), Phase::ready());
    }

    // The panel window and the drop-down each refresh on showing; the one
    // coming and going leaves the other's refresh running.
    void eachViewHasItsOwnShowing()
    {
        Stage stage(u"tok"_s, {});
        stage.settle();
        StandaloneWindows windows(*stage.model, stage.palette, stage.settings);
        QSignalSpy published(stage.model.get(), &AppModel::refreshed);
        stage.panel->shown(); // the drop-down
        windows.openPanel();
        QCOMPARE(stage.refreshes(), 2);
        windows.panelWindow()->hide();
        stage.settle();
        QCOMPARE(published.count(), 1);
    }

    // "Check for updates…" answers in a line above the footer, with a way to
    // the download page when there is something to get.
    void updateLine()
    {
        Stage stage(u"tok"_s, {});
        stage.settle();
        FakeUpdater updater;
        FakeNotifier notifier;
        UpdateNotices notices(updater, notifier, stage.urls, u"1.2"_s);
        stage.panel->setUpdateNotices(&notices);
        QVERIFY(stage.show());
        stage.panel->shown();
        QVERIFY(!stage.item(u"updateLine"_s)->isVisible());
        stage.panel->checkForUpdates();
        QCOMPARE(updater.checks, 1);
        QTRY_VERIFY(stage.texts(stage.item(u"updateLine"_s)).contains(u"Checking for updates\u2026"_s));
        updater.found();
        QTRY_COMPARE(stage.texts(stage.item(u"updateLine"_s)),
                     (QStringList{u"Vesko 1.3 is available."_s, u"Download"_s}));
        QVERIFY(notifier.shown.isEmpty()); // the user is looking at it
        // The line sits above the footer, inside the panel.
        QQuickItem *line = stage.item(u"updateLine"_s);
        QQuickItem *footer = stage.item(u"footer"_s);
        QTRY_VERIFY(line->mapToScene(QPointF(0, line->height())).y() <= footer->mapToScene(QPointF()).y());
        QVERIFY(footer->mapToScene(QPointF(0, footer->height())).y() <= stage.view.rootObject()->height());
        QQuickItem *download = stage.item(u"updateAction"_s);
        QTest::mouseClick(&stage.view, Qt::LeftButton, {}, download->mapToScene(QPointF(4, 4)).toPoint());
        QCOMPARE(stage.urls.opened, QList<QUrl>{QUrl(u"https://x.test/get"_s)});
    }

    // The More menu lists its items in order and its choices reach the model.
    void footerMenu()
    {
        Stage stage(u"tok"_s, {});
        stage.settle();
        stage.login.enabled = true;
        QVERIFY(stage.show());
        auto *menu = stage.view.rootObject()->findChild<QQuickWindow *>(u"footerMenu"_s);
        QVERIFY(menu);
        const auto open = [&] {
            QQuickItem *more = stage.item(u"moreButton"_s);
            QTest::mouseClick(&stage.view, Qt::LeftButton, {}, more->mapToScene(QPointF(11, 11)).toPoint());
            return QTest::qWaitForWindowExposed(menu);
        };
        const auto choose = [&](const QString &title) {
            for (QQuickItem *item : stage.visibleItems(menu->contentItem()))
                if (item->inherits("QQuickText") && item->property("text").toString() == title)
                    QTest::mouseClick(menu, Qt::LeftButton, {}, item->mapToScene(QPointF(4, 4)).toPoint());
            QTRY_VERIFY(!menu->isVisible());
        };
        QVERIFY(open());
        QCOMPARE(stage.texts(menu->contentItem()),
                 (QStringList{u"Account settings\u2026"_s, u"Show in menu bar"_s, u"Snout and amount"_s,
                              u"Amount only"_s, u"Snout only"_s, u"Open at login"_s, u"Hide amounts"_s,
                              u"Check for updates\u2026"_s, u"Sign out"_s, u"Quit Vesko"_s}));
        QCOMPARE(menu->property("loginOn").toBool(), true);
        choose(u"Amount only"_s);
        QCOMPARE(stage.model->trayStyle(), TrayStyle::amount);
        // A tray that draws no text beside the snout: the choice says what it does there.
        stage.panel->setTrayShowsText(false);
        QVERIFY(open());
        QCOMPARE(stage.texts(menu->contentItem()).mid(3, 3),
                 (QStringList{u"Amount only"_s, u"This tray cannot show text: the snout stays"_s, u"Snout only"_s}));
        choose(u"Sign out"_s);
        QVERIFY(!stage.model->isSignedIn());
    }

    // An account of several projects: the menu chooses among them, the
    // footer names the one shown, and the milestones have their switch.
    void footerMenuChoosesTheProject()
    {
        Stage stage(u"tok"_s,
                    {{"/v1/summary",
                      ok(withProjects({project(u"p1"_s, u"#123456"_s, 5000), project(u"p2"_s, u"#654321"_s, 2500)}))}});
        FakeNotifier notifier;
        FakeRevenueHistory history;
        MilestoneWatcher milestones(*stage.model, notifier, stage.settings, history, [] { return u"all"_s; });
        stage.panel->setMilestoneWatcher(&milestones);
        stage.settle();
        QVERIFY(stage.show());
        auto *menu = stage.view.rootObject()->findChild<QQuickWindow *>(u"footerMenu"_s);
        const auto open = [&] {
            QQuickItem *more = stage.item(u"moreButton"_s);
            QTest::mouseClick(&stage.view, Qt::LeftButton, {}, more->mapToScene(QPointF(11, 11)).toPoint());
            return QTest::qWaitForWindowExposed(menu);
        };
        // A repeater's entries have no QObject parent: found among the visible items.
        const auto entry = [&](const QString &name) -> QQuickItem * {
            for (QQuickItem *item : stage.visibleItems(menu->contentItem()))
                if (item->objectName() == name)
                    return item;
            return nullptr;
        };
        const auto click = [&](const QString &name) {
            QQuickItem *found = entry(name);
            QVERIFY2(found, qPrintable(name));
            QTest::mouseClick(menu, Qt::LeftButton, {}, found->mapToScene(QPointF(40, 10)).toPoint());
            QTRY_VERIFY(!menu->isVisible());
        };
        QVERIFY(open());
        const QStringList texts = stage.texts(menu->contentItem());
        const qsizetype at = texts.indexOf(u"Show project"_s);
        QVERIFY(at > 0);
        QCOMPARE(texts.mid(at, 4),
                 (QStringList{u"Show project"_s, u"All projects"_s, u"Project p1"_s, u"Project p2"_s}));
        QVERIFY(texts.contains(u"Notify about MRR milestones"_s));
        QVERIFY(stage.texts().contains(u"Updated 5 min ago"_s));

        click(u"project_p2"_s);
        QCOMPARE(stage.model->projectScope(), u"p2"_s);
        stage.settle();
        QVERIFY(stage.texts().contains(u"Project p2 \u00B7 Updated 5 min ago"_s));
        QVERIFY(open());
        QVERIFY(entry(u"project_p2"_s)->property("checked").toBool());
        QVERIFY(!entry(u"project_all"_s)->property("checked").toBool());
        click(u"notifyMilestonesEntry"_s);
        QVERIFY(!milestones.isEnabled());
    }

    // What a screen reader reads in each state: every control by its role and
    // name, the hero and each row as one line, and "hidden" for amounts.
    void accessibleNames_data()
    {
        QTest::addColumn<std::optional<QString>>("token");
        QTest::addColumn<bool>("hide");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QString>("hero");     // a pattern; empty: no hero
        QTest::addColumn<QString>("firstRow"); // of the events' list
        QTest::newRow("signed out") << std::optional<QString>() << false << QStringList{u"Sign in"_s} << QString()
                                    << QString();
        QTest::newRow("ready") << std::optional<QString>(u"tok"_s) << false
                               << QStringList{u"More"_s, u"Open dashboard"_s}
                               << u"^Monthly recurring revenue, \\$12,346, up 12%\\. \\$12,345\\.67 exactly\\."_s
                               << u"New, \u20AC9.99 per month, Play Store, Snoutly, ada@example.com, 5 minutes ago"_s;
        QTest::newRow("amounts hidden") << std::optional<QString>(u"tok"_s) << true
                                        << QStringList{u"More"_s, u"Open dashboard"_s}
                                        << u"^Monthly recurring revenue, hidden, up 12%\\.$"_s
                                        << u"New, hidden, Play Store, Snoutly, ada@example.com, 5 minutes ago"_s;
    }
    void accessibleNames()
    {
        QFETCH(std::optional<QString>, token);
        QFETCH(bool, hide);
        QFETCH(QString, hero);
        QFETCH(QString, firstRow);
        Stage stage(token, {});
        stage.model->setHideAmounts(hide);
        stage.settle();
        QVERIFY(stage.show());
        const QList<Spoken> tree = spokenTree(&stage.view);
        QTEST(named(tree, QAccessible::Button), "buttons");
        for (const Spoken &node : tree) {
            // Nothing is read as bullets or left unnamed where a name is due.
            QVERIFY2(!node.name.contains(u'\u2022'), qPrintable(node.name));
            if (node.role == QAccessible::Button || node.role == QAccessible::Link || node.role == QAccessible::ListItem
                || node.role == QAccessible::Heading || node.role == QAccessible::Graphic)
                QVERIFY2(!node.name.isEmpty(), qPrintable(QString::number(node.role)));
        }
        const QStringList texts = named(tree, QAccessible::StaticText);
        if (hero.isEmpty()) {
            QVERIFY(named(tree, QAccessible::Heading).contains(stage.panel->state().signIn.title));
            QVERIFY(texts.contains(stage.panel->state().signIn.sentence));
            return;
        }
        QVERIFY2(texts.contains(u"Updated 5 min ago"_s), qPrintable(texts.join(u" | "_s)));
        const QRegularExpression pattern(hero);
        QVERIFY2(std::ranges::any_of(texts, [&](const QString &text) { return pattern.match(text).hasMatch(); }),
                 qPrintable(texts.join(u" | "_s)));
        // The figures under the hero, each one line.
        QVERIFY2(texts.contains(hide ? u"ARR, hidden"_s : u"ARR, $148.1K"_s), qPrintable(texts.join(u" | "_s)));
        QVERIFY(texts.contains(u"active, 312"_s) || texts.contains(u"Active, 312"_s));
        const QStringList rows = named(tree, QAccessible::ListItem);
        QVERIFY2(rows.contains(firstRow), qPrintable(rows.join(u" | "_s)));
        QCOMPARE(named(tree, QAccessible::List), (QStringList{u"Where it comes from"_s, u"Latest veskos"_s}));
    }

    // The keyboard alone: Tab walks the controls in reading order and wraps,
    // Shift+Tab walks back, Space presses, the More menu takes the arrows, and
    // Escape closes the menu, then the panel.
    void keyboard()
    {
        Stage stage(u"tok"_s,
                    {{"/v1/summary",
                      ok(withProjects({project(u"p1"_s, u"#123456"_s, 5000), project(u"p2"_s, u"#654321"_s, 2500)}))}});
        stage.settle();
        QVERIFY(stage.show());
        QQuickView &view = stage.view;
        QVERIFY(view.rootObject()->hasActiveFocus());
        QList<QQuickItem *> walked;
        for (int i = 0; i < 12; ++i) {
            QTest::keyClick(&view, Qt::Key_Tab);
            if (!walked.isEmpty() && view.activeFocusItem() == walked.constFirst())
                break;
            walked << view.activeFocusItem();
        }
        QList<QQuickItem *> controls = stage.visibleItems();
        controls.removeIf([](QQuickItem *item) { return !item->activeFocusOnTab(); });
        QCOMPARE(walked.size(), controls.size());
        QCOMPARE(walked.size(), 4); // two project rows, More, Open dashboard
        for (qsizetype i = 1; i < walked.size(); ++i) {
            const QPointF before = walked[i - 1]->mapToScene(QPointF());
            const QPointF after = walked[i]->mapToScene(QPointF());
            QVERIFY2(after.y() > before.y() + 1 || (qAbs(after.y() - before.y()) <= 12 && after.x() > before.x()),
                     qPrintable(u"focus %1 before %2"_s.arg(i).arg(i - 1)));
        }
        // Only the control with the keyboard wears the ring.
        for (QQuickItem *control : walked) {
            QQuickItem *ring = control->findChild<QQuickItem *>(u"focusRing"_s);
            QVERIFY(ring);
            QCOMPARE(ring->isVisible(), control == view.activeFocusItem());
        }
        QTest::keyClick(&view, Qt::Key_Backtab);
        QCOMPARE(view.activeFocusItem(), walked.constLast());
        QTest::keyClick(&view, Qt::Key_Tab);
        QTest::keyClick(&view, Qt::Key_Tab);
        QCOMPARE(view.activeFocusItem(), walked[1]);
        QTest::keyClick(&view, Qt::Key_Space);
        QCOMPARE(stage.model->projectScope(), u"p2"_s);
        stage.settle();

        auto *menu = view.rootObject()->findChild<QQuickWindow *>(u"footerMenu"_s);
        QQuickItem *more = stage.item(u"moreButton"_s);
        more->forceActiveFocus();
        QTest::keyClick(&view, Qt::Key_Return);
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        const auto focused = [&] { return menu->activeFocusItem()->property("text").toString(); };
        QCOMPARE(focused(), u"Account settings\u2026"_s);
        QTest::keyClick(menu, Qt::Key_Up);
        QCOMPARE(focused(), u"Quit Vesko"_s);
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Down);
        QCOMPARE(focused(), u"Snout and amount"_s);
        for (int i = 0; i < 12 && focused() != u"Hide amounts"_s; ++i)
            QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Space);
        QTRY_VERIFY(!menu->isVisible());
        QVERIFY(stage.model->hideAmounts());
        QTest::keyClick(&view, Qt::Key_Space);
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        QTest::keyClick(menu, Qt::Key_Escape);
        QTRY_VERIFY(!menu->isVisible());
        QVERIFY(view.isVisible());
        QCOMPARE(view.activeFocusItem(), more);
        QTest::keyClick(&view, Qt::Key_Escape);
        QTRY_VERIFY(!view.isVisible());
    }

    // "Try again" refreshes; hiding the panel does not stop that refresh.
    void tryAgainOutlivesTheShowing()
    {
        Stage stage(u"tok"_s, {{"/v1/summary", ScriptedReply::json(500, "{}")}});
        stage.settle();
        QCOMPARE(stage.panel->state().block, PanelState::Block::Message);
        stage.replies.clear();
        stage.panel->messageAction();
        stage.panel->hidden();
        stage.settle();
        QCOMPARE(stage.panel->state().block, PanelState::Block::Dashboard);
    }
};

QTEST_MAIN(PanelTest)
#include "tst_panel.moc"
