// vesko-shots DIR: renders the panel in each of its states, light and dark,
// offscreen to DIR/<state>-<appearance>.png. The model gets into each state
// against a scripted service on loopback, with a fixed clock. DIR/tray.png
// draws what the tray item hands an indicator host, in each tray style,
// on a dark and a light top bar.
#include "app/core/AppModel.h"
#include "app/core/presenters/TrayText.h"
#include "app/ui/Palette.h"
#include "app/ui/PanelController.h"
#include "app/ui/PanelQml.h"
#include "app/ui/tray/TrayIcon.h"
#include "tests/support/Fakes.h"
#include "tests/support/Fixtures.h"
#include "tests/support/ModelRig.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QQmlEngine>
#include <QQuickView>

#include <cmath>
#include <cstdio>

using namespace Qt::StringLiterals;

using namespace vesko;

namespace {

const QDateTime now = QDateTime::fromSecsSinceEpoch(1772357400 + 300, Qt::UTC);

void waitUntil(const std::function<bool()> &done, int ms = 3000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

QJsonArray sampleEvents()
{
    QJsonObject cancelled = fixtures::event(u"ev_2"_s);
    cancelled[u"kind"_s] = u"cancelled"_s;
    cancelled.remove(u"amount"_s);
    cancelled[u"occurred_at"_s] = u"2026-03-01T08:10:00Z"_s;
    QJsonObject back = fixtures::event(u"ev_3"_s);
    back[u"kind"_s] = u"reactivated"_s;
    back[u"channel"_s] = u"web"_s;
    back[u"interval"_s] = u"year"_s;
    back[u"amount"_s] = 11900;
    back[u"customer_label"_s] = u"a-very-long-customer-label@some-company.example.com"_s;
    back[u"occurred_at"_s] = u"2026-02-27T18:00:00Z"_s;
    return {fixtures::event(), cancelled, back};
}

struct Shot
{
    QString name;
    std::optional<QString> token = u"tok"_s;
    QMap<QByteArray, ScriptedReply> replies;
    bool signIn = false;
    bool expires = false; // the sign-in then runs out
    QString late;         // a callback after that
    bool hideAmounts = false;
    bool history = false; // a month of readings behind the hero's trend
    int tabs = 0;         // presses of Tab once shown: the focus ring
};

// A month of the fixture account's MRR, every five minutes, up to its
// current figure: a climb with a wobble and a dip in the middle.
void fillHistory(FakeRevenueHistory &history)
{
    constexpr int readings = 30 * 24 * 12;
    for (int i = 0; i < readings; ++i) {
        const double share = double(i) / readings;
        const double dip = share > 0.4 && share < 0.5 ? -45000 * std::sin((share - 0.4) * 10 * M_PI) : 0;
        const double mrr = 1090000 + 144567 * share + 12000 * std::sin(i / 300.0) + dip;
        history.record(u"u1"_s, u"all"_s, u"USD"_s, now.addSecs(-qint64(readings - i) * 300), qint64(mrr));
    }
}

QImage render(const Shot &shot, bool dark)
{
    ModelRig rig;
    rig.service.replies = shot.replies;
    rig.service.events = sampleEvents();
    rig.secrets.stored = shot.token;
    AppModel model(rig.environment([] { return now; }));
    model.setHideAmounts(shot.hideAmounts);
    if (shot.signIn)
        model.signIn();
    if (shot.expires)
        FakeBrowserSession::all.last()->end(std::nullopt, true);
    if (!shot.late.isEmpty())
        model.handleCallback(QUrl(shot.late));
    // A stalled answer never settles: give it a moment and move on.
    waitUntil([&] { return model.findChildren<Refresh *>().isEmpty(); }, 500);

    Palette palette;
    palette.setDark(dark);
    PanelController panel(model, palette, [] { return now; });
    FakeRevenueHistory history;
    if (shot.history) {
        fillHistory(history);
        panel.setHistory(&history);
    }
    QQuickView view;
    panel.expose(*view.engine());
    view.setResizeMode(QQuickView::SizeViewToRootObject);
    view.setSource(panelQml(u"PanelView.qml"_s));
    if (view.status() != QQuickView::Ready)
        return {};
    view.show();
    view.requestActivate();
    waitUntil([&] { return view.isActive() || shot.tabs == 0; });
    for (int i = 0; i < shot.tabs; ++i) {
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &tab);
    }
    bool drawn = false;
    QObject::connect(&view, &QQuickWindow::frameSwapped, [&] { drawn = true; });
    waitUntil([&] { return drawn; });
    // The hero's canvas paints on a later frame than the first.
    waitUntil([] { return false; }, 150);
    return view.grabWindow();
}

// One top bar per row: the item's icon, then its label 4 pt to the right, as
// label-drawing hosts lay them out (their own font, here the default one).
QImage trayStrip()
{
    struct Row
    {
        TrayStyle style;
        bool dark;
    };
    const QList<Row> rows{{TrayStyle::both, true},  {TrayStyle::amount, true},  {TrayStyle::snout, true},
                          {TrayStyle::both, false}, {TrayStyle::amount, false}, {TrayStyle::snout, false}};
    const qreal scale = 2;
    const int barHeight = 32, width = 220;
    QImage strip(QSize(width, barHeight * int(rows.size())) * scale, QImage::Format_ARGB32_Premultiplied);
    strip.setDevicePixelRatio(scale);
    QPainter painter(&strip);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font = QGuiApplication::font();
    font.setPixelSize(15);
    font.setWeight(QFont::DemiBold);
    painter.setFont(font);
    for (int i = 0; i < rows.size(); ++i) {
        const Row row = rows.at(i);
        const QRect bar(0, i * barHeight, width, barHeight);
        painter.fillRect(bar, row.dark ? QColor(0x1e1e1e) : QColor(0xf6f5f4));
        const std::optional<QString> text = row.style == TrayStyle::snout ? std::nullopt : std::optional(u"$12.3K"_s);
        const bool snout = row.style != TrayStyle::amount;
        const auto content = TrayIcon::contentFor(trayText(snout, text, {}), row.dark, {});
        int x = 12;
        if (!content.icon.isEmpty()) {
            const QImage icon = imageOf(content.icon.last()); // the 48 px one, drawn at 22
            painter.drawImage(QRect(x, bar.top() + (barHeight - 22) / 2, 22, 22), icon);
            x += 22 + 4;
        }
        painter.setPen(row.dark ? Qt::white : Qt::black);
        painter.drawText(QRect(x, bar.top(), width - x, barHeight), Qt::AlignVCenter | Qt::AlignLeft, content.label);
    }
    painter.end();
    return strip;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: vesko-shots DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(u"."_s)) {
        std::fprintf(stderr, "vesko-shots: cannot create %s\n", argv[1]);
        return 1;
    }
    QJsonObject noChannels = fixtures::summary();
    noChannels[u"by_channel"_s] = QJsonArray{QJsonObject{{u"channel"_s, u"web"_s}, {u"mrr"_s, 0}}};
    noChannels.remove(u"growth"_s);
    noChannels[u"incomplete"_s] = true;
    QJsonObject projects = fixtures::summary();
    projects[u"by_project"_s] = QJsonArray{
        QJsonObject{{u"id"_s, u"p1"_s}, {u"name"_s, u"Snoutly"_s}, {u"color"_s, u"#2340FF"_s}, {u"mrr"_s, 734567}},
        QJsonObject{{u"id"_s, u"p2"_s},
                    {u"name"_s, u"Pawprint Journal for iPhone, iPad and the Mac"_s},
                    {u"color"_s, u"#FF7DAA"_s},
                    {u"mrr"_s, 420000}},
        // Not a colour: the panel picks one.
        QJsonObject{{u"id"_s, u"p3"_s}, {u"name"_s, u"Barkboard"_s}, {u"color"_s, u"red"_s}, {u"mrr"_s, 80000}},
        QJsonObject{{u"id"_s, u"p4"_s}, {u"name"_s, u"Retired"_s}, {u"color"_s, u"#000000"_s}, {u"mrr"_s, 0}}};
    QJsonObject noSources = fixtures::summary();
    for (const QString &key : {u"mrr"_s, u"arr"_s, u"active"_s, u"new"_s, u"cancelled"_s, u"ending"_s})
        noSources[key] = 0;
    noSources.remove(u"growth"_s);
    noSources[u"by_channel"_s] = QJsonArray{};
    noSources[u"by_project"_s] = QJsonArray{};
    noSources[u"has_sources"_s] = false;
    const auto summaryIs = [](const QJsonObject &summary) {
        return QMap<QByteArray, ScriptedReply>{{"/v1/summary", ScriptedReply::json(200, fixtures::envelope(summary))}};
    };
    const QList<Shot> shots{
        {.name = u"signed-out"_s, .token = std::nullopt},
        {.name = u"signing-in"_s, .token = std::nullopt, .signIn = true},
        {.name = u"sign-in-expired"_s, .token = std::nullopt, .signIn = true, .expires = true},
        {.name = u"sign-in-approved-late"_s,
         .token = std::nullopt,
         .signIn = true,
         .expires = true,
         .late = u"vesko://callback?code=late"_s},
        {.name = u"loading"_s, .replies = {{"/v1/summary", ScriptedReply{.mode = ScriptedReply::Mode::stall}}}},
        {.name = u"failed"_s, .replies = {{"/v1/summary", ScriptedReply::json(500, "{}")}}},
        {.name = u"ready"_s},
        {.name = u"ready-amounts-hidden"_s, .hideAmounts = true},
        {.name = u"ready-no-channels"_s,
         .replies = {{"/v1/summary", ScriptedReply::json(200, fixtures::envelope(noChannels))},
                     {"/v1/events", ScriptedReply::json(200, fixtures::envelope(QJsonArray{}))}}},
        {.name = u"projects"_s, .replies = summaryIs(projects)},
        {.name = u"projects-amounts-hidden"_s, .replies = summaryIs(projects), .hideAmounts = true},
        {.name = u"no-sources"_s,
         .replies = {{"/v1/summary", ScriptedReply::json(200, fixtures::envelope(noSources))},
                     {"/v1/events", ScriptedReply::json(200, fixtures::envelope(QJsonArray{}))}}},
        {.name = u"trend"_s, .history = true},
        {.name = u"trend-amounts-hidden"_s, .hideAmounts = true, .history = true},
        {.name = u"keyboard-more"_s, .tabs = 1},
        {.name = u"keyboard-project"_s, .replies = summaryIs(projects), .tabs = 2},
    };
    int failures = 0;
    for (const Shot &shot : shots) {
        for (bool dark : {false, true}) {
            const QString file = out.filePath(shot.name + (dark ? u"-dark.png"_s : u"-light.png"_s));
            const QImage image = render(shot, dark);
            if (image.isNull() || !image.save(file)) {
                std::fprintf(stderr, "vesko-shots: could not render %s\n", qPrintable(file));
                ++failures;
                continue;
            }
            std::printf("%s\n", qPrintable(file));
        }
    }
    const QString tray = out.filePath(u"tray.png"_s);
    if (trayStrip().save(tray)) {
        std::printf("%s\n", qPrintable(tray));
    } else {
        std::fprintf(stderr, "vesko-shots: could not render %s\n", qPrintable(tray));
        ++failures;
    }
    return failures ? 1 : 0;
}
