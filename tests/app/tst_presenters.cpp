// The panel's texts and choices, computed from model data the way the views
// will bind them.
#include "app/core/presenters/ChannelRows.h"
#include "app/core/presenters/EventRows.h"
#include "app/core/presenters/FigureRow.h"
#include "app/core/presenters/FooterText.h"
#include "app/core/presenters/HeroText.h"
#include "app/core/presenters/PanelState.h"
#include "app/core/presenters/ProjectChoices.h"
#include "app/core/presenters/ProjectRows.h"
#include "app/core/presenters/SaleText.h"
#include "app/core/presenters/TrayMenuText.h"
#include "app/core/presenters/TrendText.h"
#include "app/core/presenters/UpdateText.h"
#include "kit/Money.h"

#include <QTest>

using namespace Qt::StringLiterals;

using namespace vesko;

namespace {

const QDateTime now = QDateTime::fromSecsSinceEpoch(1772357400, Qt::UTC);

Summary summaryWithChannels(QList<ChannelAmount> channels)
{
    return Summary(Summary::Fields{.currency = u"USD"_s, .byChannel = std::move(channels)});
}

struct EventFields
{
    VeskoEvent::Kind kind = VeskoEvent::Kind::new_;
    std::optional<qint64> amount;
    std::optional<QString> interval;
    std::optional<QString> customer;
    Channel channel = Channel::web;
    qint64 secondsAgo = 0;
    QString currency = u"USD"_s;
    QString id = u"evt_1"_s;
    QString project = u"Lumen"_s;
};

VeskoEvent makeEvent(const EventFields &s)
{
    return VeskoEvent({
        .id = s.id,
        .kind = s.kind,
        .channel = s.channel,
        .occurredAt = now.addSecs(-s.secondsAgo),
        .amount = s.amount,
        .currency = s.currency,
        .interval = s.interval,
        .planName = u"Pro"_s,
        .customerLabel = s.customer,
        .project = VeskoEvent::ProjectRef(u"prj_1"_s, s.project),
    });
}

Summary summaryWithProjects(QList<ProjectAmount> projects)
{
    return Summary(Summary::Fields{.currency = u"USD"_s, .byProject = std::move(projects), .hasSources = true});
}

// A reading `days` before now (fractions allowed).
MrrReading daysAgo(double days, qint64 mrr)
{
    return {.at = now.addMSecs(-qint64(days * 86400000)), .mrr = mrr};
}

enum SummaryHeld {
    noSummary,
    paying,
    notPaying
};

} // namespace

Q_DECLARE_METATYPE(vesko::TrayMenuText)

class PresentersTest : public QObject
{
    Q_OBJECT

private slots:
    // The project choice of the menus, and the footer's name for the scope.
    void projectChoices_data()
    {
        QTest::addColumn<int>("projects"); // p1, p2, … in service order
        QTest::addColumn<QString>("scope");
        QTest::addColumn<QStringList>("titles"); // a chosen one marked with "*"
        QTest::addColumn<QString>("scopeName");
        QTest::newRow("one project: no choice") << 1 << u"all"_s << QStringList() << u"All projects"_s;
        QTest::newRow("none yet") << 0 << u"all"_s << QStringList() << u"All projects"_s;
        QTest::newRow("two") << 2 << u"all"_s << QStringList{u"*All projects"_s, u"P1"_s, u"P2"_s} << u"All projects"_s;
        QTest::newRow("the second chosen")
            << 2 << u"p2"_s << QStringList{u"All projects"_s, u"P1"_s, u"*P2"_s} << u"P2"_s;
        QTest::newRow("one project, chosen: the way back")
            << 1 << u"p1"_s << QStringList{u"All projects"_s, u"*P1"_s} << u"P1"_s;
        QTest::newRow("chosen, not known yet") << 0 << u"p9"_s << QStringList{u"All projects"_s} << QString();
    }
    void projectChoices()
    {
        QFETCH(int, projects);
        QFETCH(QString, scope);
        QFETCH(QStringList, titles);
        QFETCH(QString, scopeName);
        QList<ProjectAmount> list;
        for (int i = 1; i <= projects; ++i)
            list.append(ProjectAmount(u"p%1"_s.arg(i), u"P%1"_s.arg(i), u"#2340FF"_s, qint64{100} * i));
        QStringList seen;
        for (const ProjectChoice &choice : vesko::projectChoices(list, scope)) {
            seen << (choice.chosen ? u"*"_s : QString()) + choice.title;
            QCOMPARE(choice.id == scope, choice.chosen);
        }
        QCOMPARE(seen, titles);
        QCOMPARE(scopeTitle(list, scope), scopeName);
    }

    void hero_data()
    {
        QTest::addColumn<QString>("currency");
        QTest::addColumn<qint64>("mrr");
        QTest::addColumn<qint64>("ending");
        QTest::addColumn<bool>("countEnding");
        QTest::addColumn<QVariant>("growth");
        QTest::addColumn<bool>("incomplete");
        QTest::addColumn<QString>("figure");
        QTest::addColumn<QString>("pill");
        QTest::addColumn<QString>("exact");
        QTest::addColumn<QString>("note");

        const QString stops = u" of this stops when those subscriptions reach the end of their period."_s;
        const QString leftOut = u" is left out: those subscriptions are set to end."_s;
        const QString waiting = u"Some amounts are waiting for today's exchange rate."_s;
        const QVariant none;
        QTest::newRow("mrr 0 with ending") << "USD" << 0ll << 500ll << true << none << false << "$0"
                                           << ""
                                           << ""
                                           << "";
        QTest::newRow("negative mrr with ending") << "USD" << -150ll << 500ll << false << none << false << "-$2"
                                                  << ""
                                                  << ""
                                                  << "";
        QTest::newRow("one cent") << "USD" << 1ll << 0ll << true << none << false << "$0"
                                  << ""
                                  << "$0.01 exactly."
                                  << "";
        QTest::newRow("ending 0") << "USD" << 123456ll << 0ll << true << none << false << "$1,235"
                                  << ""
                                  << "$1,234.56 exactly."
                                  << "";
        QTest::newRow("ending negative") << "USD" << 123456ll << -500ll << false << none << false << "$1,235"
                                         << ""
                                         << "$1,234.56 exactly."
                                         << "";
        QTest::newRow("ending counted") << "USD" << 123456ll << 2000ll << true << none << false << "$1,235"
                                        << "" << u"$1,234.56 exactly. $20"_s + stops << u""_s;
        QTest::newRow("ending left out") << "USD" << 123456ll << 2000ll << false << none << false << "$1,235"
                                         << "" << u"$1,234.56 exactly. $20"_s + leftOut << u""_s;
        QTest::newRow("ending in euros") << "EUR" << 123450ll << 1999ll << true << none << false
                                         << QString::fromUtf8("€1,235") << ""
                                         << QString::fromUtf8("€1,234.50 exactly. €19.99") + stops << "";
        QTest::newRow("growth") << "USD" << 2000ll << 0ll << true << QVariant(12.4) << false << "$20"
                                << "+12%"
                                << "$20 exactly."
                                << "";
        QTest::newRow("growth 0") << "USD" << 2000ll << 0ll << true << QVariant(0.0) << false << "$20"
                                  << "0%"
                                  << "$20 exactly."
                                  << "";
        QTest::newRow("growth negative") << "USD" << 2000ll << 0ll << true << QVariant(-3.5) << false << "$20"
                                         << "-4%"
                                         << "$20 exactly."
                                         << "";
        QTest::newRow("incomplete, mrr 0") << "USD" << 0ll << 0ll << true << none << true << "$0"
                                           << ""
                                           << "" << waiting;
        QTest::newRow("incomplete with ending") << "USD" << 1999ll << 500ll << false << none << true << "$20"
                                                << "" << u"$19.99 exactly. $5"_s + leftOut << waiting;
    }

    void hero()
    {
        QFETCH(QString, currency);
        QFETCH(qint64, mrr);
        QFETCH(qint64, ending);
        QFETCH(bool, countEnding);
        QFETCH(QVariant, growth);
        QFETCH(bool, incomplete);
        QFETCH(QString, figure);
        QFETCH(QString, pill);
        QFETCH(QString, exact);
        QFETCH(QString, note);

        const Summary summary({
            .currency = currency,
            .mrr = mrr,
            .growth = growth.isValid() ? std::optional(growth.toDouble()) : std::nullopt,
            .ending = ending,
            .incomplete = incomplete,
        });
        const HeroText text = heroText(summary, countEnding);
        QCOMPARE(text.caption, u"MONTHLY RECURRING REVENUE"_s);
        QCOMPARE(text.figure, figure);
        QCOMPARE(text.growth, pill);
        QCOMPARE(text.exactLine, exact);
        QCOMPARE(text.exchangeNote, note);
    }

    // Read as one sentence; while hidden, the amounts give way to a word.
    void heroSpoken_data()
    {
        QTest::addColumn<qint64>("mrr");
        QTest::addColumn<qint64>("ending");
        QTest::addColumn<QVariant>("growth");
        QTest::addColumn<bool>("incomplete");
        QTest::addColumn<bool>("hide");
        QTest::addColumn<QString>("spoken");

        const QString waiting = u" Some amounts are waiting for today's exchange rate."_s;
        const QVariant none;
        QTest::newRow("up") << 1234567ll << 0ll << QVariant(12.4) << false << false
                            << u"Monthly recurring revenue, $12,346, up 12%. $12,345.67 exactly."_s;
        QTest::newRow("rounds to unchanged") << 2000ll << 0ll << QVariant(-0.4) << false << false
                                             << u"Monthly recurring revenue, $20, unchanged. $20 exactly."_s;
        QTest::newRow("no growth, no exact line")
            << 0ll << 0ll << none << false << false << u"Monthly recurring revenue, $0."_s;
        QTest::newRow("ending, waiting for a rate")
            << 1999ll << 500ll << none << true << false
            << u"Monthly recurring revenue, $20. $19.99 exactly. $5 is left out: those subscriptions are set to end."_s
                   + waiting;
        QTest::newRow("hidden: the growth stays")
            << 1234567ll << 0ll << QVariant(12.4) << false << true << u"Monthly recurring revenue, hidden, up 12%."_s;
        QTest::newRow("hidden, ending, waiting for a rate")
            << 1999ll << 500ll << none << true << true << u"Monthly recurring revenue, hidden."_s + waiting;
    }
    void heroSpoken()
    {
        QFETCH(qint64, mrr);
        QFETCH(qint64, ending);
        QFETCH(QVariant, growth);
        QFETCH(bool, incomplete);
        QFETCH(bool, hide);
        QFETCH(QString, spoken);
        const Money::Mask mask(hide);
        const Summary summary({
            .currency = u"USD"_s,
            .mrr = mrr,
            .growth = growth.isValid() ? std::optional(growth.toDouble()) : std::nullopt,
            .ending = ending,
            .incomplete = incomplete,
        });
        QCOMPARE(heroText(summary, false).spoken, spoken);
    }

    void channels_data()
    {
        QTest::addColumn<QList<ChannelAmount>>("channels");
        QTest::addColumn<bool>("hide");
        QTest::addColumn<QStringList>("rows");     // id|label|source|amount|spoken
        QTest::addColumn<QList<double>>("widths"); // of the fill in a 300 pt track

        QTest::newRow("none") << QList<ChannelAmount>{} << false << QStringList{} << QList<double>{};
        QTest::newRow("zero and negative dropped") << QList<ChannelAmount>{{Channel::web, 0}, {Channel::appStore, -100}}
                                                   << false << QStringList{} << QList<double>{};
        QTest::newRow("single channel fills")
            << QList<ChannelAmount>{{Channel::paddle, 1999}} << false
            << QStringList{u"paddle|Paddle|RevenueCat|$19.99|Paddle, RevenueCat, $19.99"_s} << QList<double>{300};
        QTest::newRow("service order, scaled to the largest")
            << QList<ChannelAmount>{{Channel::web, 10000},
                                    {Channel::appStore, 0},
                                    {Channel::rcBilling, 50000},
                                    {Channel::amazon, -5},
                                    {Channel::playStore, 25000}}
            << false
            << QStringList{u"web|Web|Stripe|$100|Web, Stripe, $100"_s,
                           u"rc_billing|Web Billing|RevenueCat|$500|Web Billing, RevenueCat, $500"_s,
                           u"play_store|Play Store|RevenueCat|$250|Play Store, RevenueCat, $250"_s}
            << QList<double>{60, 300, 150};
        QTest::newRow("tiny share keeps 6 pt")
            << QList<ChannelAmount>{{Channel::web, 1}, {Channel::appStore, 1000000}} << false
            << QStringList{u"web|Web|Stripe|$0.01|Web, Stripe, $0.01"_s,
                           u"app_store|App Store|RevenueCat|$10,000|App Store, RevenueCat, $10,000"_s}
            << QList<double>{6, 300};
        QTest::newRow("hidden: the bars stay")
            << QList<ChannelAmount>{{Channel::web, 10000}, {Channel::playStore, 5000}} << true
            << QStringList{u"web|Web|Stripe|$\u2022\u2022\u2022|Web, Stripe, hidden"_s,
                           u"play_store|Play Store|RevenueCat|$\u2022\u2022\u2022|Play Store, RevenueCat, hidden"_s}
            << QList<double>{300, 150};
    }

    void channels()
    {
        QFETCH(QList<ChannelAmount>, channels);
        QFETCH(bool, hide);
        QFETCH(QStringList, rows);
        QFETCH(QList<double>, widths);

        const Money::Mask mask(hide);
        const ChannelRows card = channelRows(summaryWithChannels(channels));
        QStringList shown;
        QList<double> shownWidths;
        for (const ChannelRow &row : card.rows) {
            shown.append(QStringList{row.id, row.label, row.source, row.amount, row.spoken}.join(u'|'));
            shownWidths.append(barFillWidth(300, row.fraction));
        }
        QCOMPARE(shown, rows);
        for (qsizetype i = 0; i < widths.size(); ++i)
            QCOMPARE(shownWidths.at(i), widths.at(i));
    }

    void projects_data()
    {
        QTest::addColumn<QList<ProjectAmount>>("projects");
        QTest::addColumn<bool>("hide");
        QTest::addColumn<QStringList>("rows"); // id|name|amount|spoken
        QTest::addColumn<QList<double>>("fractions");

        const auto project = [](const char *id, qint64 mrr) {
            return ProjectAmount(QString::fromLatin1(id), u"Name "_s + QString::fromLatin1(id), u"#2340FF"_s, mrr);
        };
        QTest::newRow("none") << QList<ProjectAmount>{} << false << QStringList{} << QList<double>{};
        QTest::newRow("one paying: the hero says it all")
            << QList<ProjectAmount>{project("a", 5000)} << false << QStringList{} << QList<double>{};
        QTest::newRow("one paying among unpaid")
            << QList<ProjectAmount>{project("a", 5000), project("b", 0), project("c", -300)} << false << QStringList{}
            << QList<double>{};
        QTest::newRow("two paying, service order")
            << QList<ProjectAmount>{project("a", 2500), project("b", 10000)} << false
            << QStringList{u"a|Name a|$25|Name a, $25"_s, u"b|Name b|$100|Name b, $100"_s} << QList<double>{0.25, 1.0};
        QTest::newRow("unpaid dropped between paying")
            << QList<ProjectAmount>{project("a", 40000), project("b", 0), project("c", 1999)} << false
            << QStringList{u"a|Name a|$400|Name a, $400"_s, u"c|Name c|$19.99|Name c, $19.99"_s}
            << QList<double>{1.0, 1999.0 / 40000};
        QTest::newRow("equal shares") << QList<ProjectAmount>{project("a", 700), project("b", 700)} << false
                                      << QStringList{u"a|Name a|$7|Name a, $7"_s, u"b|Name b|$7|Name b, $7"_s}
                                      << QList<double>{1.0, 1.0};
        QTest::newRow("hidden") << QList<ProjectAmount>{project("a", 2500), project("b", 10000)} << true
                                << QStringList{u"a|Name a|$\u2022\u2022\u2022|Name a, hidden"_s,
                                               u"b|Name b|$\u2022\u2022\u2022|Name b, hidden"_s}
                                << QList<double>{0.25, 1.0};
    }
    void projects()
    {
        QFETCH(QList<ProjectAmount>, projects);
        QFETCH(bool, hide);
        QFETCH(QStringList, rows);
        QFETCH(QList<double>, fractions);
        const Money::Mask mask(hide);
        const ProjectRows card = projectRows(summaryWithProjects(projects));
        QStringList shown;
        QList<double> shownFractions;
        for (const ProjectRow &row : card.rows) {
            shown.append(QStringList{row.id, row.name, row.amount, row.spoken}.join(u'|'));
            shownFractions.append(row.fraction);
        }
        QCOMPARE(shown, rows);
        QCOMPARE(card.shown(), !rows.isEmpty());
        QCOMPARE(shownFractions.size(), fractions.size());
        for (qsizetype i = 0; i < fractions.size(); ++i)
            QVERIFY(qFuzzyCompare(shownFractions.at(i), fractions.at(i)));
    }

    // The colour the service sends reaches the view only as "#RRGGBB".
    void projectColours_data()
    {
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("kept");
        QTest::newRow("upper case") << u"#2340FF"_s << u"#2340FF"_s;
        QTest::newRow("lower case") << u"#a6ebd8"_s << u"#a6ebd8"_s;
        QTest::newRow("empty") << u""_s << u""_s;
        QTest::newRow("a name") << u"red"_s << u""_s;
        QTest::newRow("five digits") << u"#12345"_s << u""_s;
        QTest::newRow("seven digits") << u"#1234567"_s << u""_s;
        QTest::newRow("not hex") << u"#GGGGGG"_s << u""_s;
        QTest::newRow("one letter past f") << u"#12345g"_s << u""_s;
        QTest::newRow("no hash") << u"2340FF"_s << u""_s;
        QTest::newRow("with alpha") << u"#802340FF"_s << u""_s;
        QTest::newRow("a script") << u"javascript:"_s << u""_s;
        QTest::newRow("padded") << u" #2340F"_s << u""_s;
        QTest::newRow("function") << u"rgb(1,2,3)"_s << u""_s;
    }
    void projectColours()
    {
        QFETCH(QString, sent);
        QFETCH(QString, kept);
        const ProjectRows card = projectRows(summaryWithProjects(
            {ProjectAmount(u"a"_s, u"A"_s, sent, 100), ProjectAmount(u"b"_s, u"B"_s, u"#000000"_s, 100)}));
        QCOMPARE(card.rows.size(), 2);
        QCOMPARE(card.rows.first().color, kept);
        QCOMPARE(card.rows.last().color, u"#000000"_s);
    }

    void figures_data()
    {
        QTest::addColumn<bool>("hasSources");
        QTest::addColumn<bool>("hide");
        QTest::addColumn<QStringList>("figures"); // value label
        QTest::addColumn<QStringList>("spoken");
        QTest::addColumn<bool>("note");

        QTest::newRow("with sources") << true << false
                                      << QStringList{u"$148.1K ARR"_s, u"312 active"_s, u"14 new"_s, u"3 cancelled"_s}
                                      << QStringList{u"ARR, $148.1K"_s, u"active, 312"_s, u"new, 14"_s,
                                                     u"cancelled, 3"_s}
                                      << false;
        QTest::newRow("amounts hidden: the ARR only")
            << true << true << QStringList{u"$\u2022\u2022\u2022 ARR"_s, u"312 active"_s, u"14 new"_s, u"3 cancelled"_s}
            << QStringList{u"ARR, hidden"_s, u"active, 312"_s, u"new, 14"_s, u"cancelled, 3"_s} << false;
        QTest::newRow("no source yet") << false << false << QStringList{} << QStringList{} << true;
    }
    void figures()
    {
        QFETCH(bool, hasSources);
        QFETCH(bool, hide);
        QFETCH(QStringList, figures);
        QFETCH(QStringList, spoken);
        QFETCH(bool, note);
        const Money::Mask mask(hide);
        const FigureRow row = figureRow(Summary(Summary::Fields{.currency = u"USD"_s,
                                                                .mrr = 1234567,
                                                                .arr = 14814804,
                                                                .active = 312,
                                                                .new_ = 14,
                                                                .cancelled = 3,
                                                                .hasSources = hasSources}));
        QStringList shown, said;
        for (const Figure &figure : row.figures) {
            shown.append(figure.value + u' ' + figure.label);
            said.append(figure.spoken);
        }
        QCOMPARE(shown, figures);
        QCOMPARE(said, spoken);
        QCOMPARE(row.hasSources, hasSources);
        QCOMPARE(!row.noSourceTitle.isEmpty(), note);
        QCOMPARE(!row.noSourceNote.isEmpty(), note);
        QCOMPARE(!row.noSourceAction.isEmpty(), note);
    }

    void trend_data()
    {
        QTest::addColumn<QList<MrrReading>>("readings");
        QTest::addColumn<qint64>("current");
        QTest::addColumn<QList<QPointF>>("points");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("spoken");

        const QString line = u"MRR over the last 30 days, "_s;
        QTest::newRow("none") << QList<MrrReading>{} << 1000ll << QList<QPointF>{} << u""_s << u""_s;
        QTest::newRow("one reading: no line, a change")
            << QList<MrrReading>{daysAgo(8, 1000)} << 1040ll << QList<QPointF>{} << u"+4% vs 7 days ago"_s
            << u"up 4% from 7 days ago"_s;
        QTest::newRow("up, down, ending now") << QList<MrrReading>{daysAgo(30, 1000), daysAgo(15, 3000)} << 2000ll
                                              << QList<QPointF>{{0, 0}, {0.5, 1}, {1, 0.5}} << u"-33% vs 7 days ago"_s
                                              << line + u"rising, down 33% from 7 days ago"_s;
        QTest::newRow("falling") << QList<MrrReading>{daysAgo(20, 3000), daysAgo(10, 2000)} << 1500ll
                                 << QList<QPointF>{{1.0 / 3, 1}, {2.0 / 3, 1.0 / 3}, {1, 0}} << u"-25% vs 7 days ago"_s
                                 << line + u"falling, down 25% from 7 days ago"_s;
        QTest::newRow("flat: a middle line") << QList<MrrReading>{daysAgo(20, 500), daysAgo(10, 500)} << 500ll
                                             << QList<QPointF>{{1.0 / 3, 0.5}, {2.0 / 3, 0.5}, {1, 0.5}}
                                             << u"0% vs 7 days ago"_s << line + u"flat, unchanged from 7 days ago"_s;
        QTest::newRow("flat ends, a dip rounds to unchanged")
            << QList<MrrReading>{daysAgo(20, 1000), daysAgo(8, 1004)} << 1000ll
            << QList<QPointF>{{1.0 / 3, 0}, {22.0 / 30, 1}, {1, 0}} << u"0% vs 7 days ago"_s
            << line + u"flat, unchanged from 7 days ago"_s;
        QTest::newRow("nothing a week old: the line only")
            << QList<MrrReading>{daysAgo(6, 1000), daysAgo(3, 1100)} << 1210ll
            << QList<QPointF>{{0.8, 0}, {0.9, 100.0 / 210}, {1, 1}} << u""_s << line + u"rising"_s;
        QTest::newRow("a week ago was zero")
            << QList<MrrReading>{daysAgo(10, 0), daysAgo(2, 500)} << 1000ll
            << QList<QPointF>{{2.0 / 3, 0}, {28.0 / 30, 0.5}, {1, 1}} << u""_s << line + u"rising"_s;
        QTest::newRow("the newest at least a week old counts")
            << QList<MrrReading>{daysAgo(8, 900), daysAgo(7, 1000), daysAgo(1, 2000)} << 1050ll
            << QList<QPointF>{{22.0 / 30, 0}, {23.0 / 30, 100.0 / 1100}, {29.0 / 30, 1}, {1, 150.0 / 1100}}
            << u"+5% vs 7 days ago"_s << line + u"rising, up 5% from 7 days ago"_s;
        QTest::newRow("older than the month: off the line, still a week old")
            << QList<MrrReading>{daysAgo(40, 100), daysAgo(20, 1000), daysAgo(10, 2000)} << 2000ll
            << QList<QPointF>{{1.0 / 3, 0}, {2.0 / 3, 1}, {1, 1}} << u"0% vs 7 days ago"_s
            << line + u"rising, unchanged from 7 days ago"_s;
        QTest::newRow("only one inside the month")
            << QList<MrrReading>{daysAgo(45, 100), daysAgo(2, 1000)} << 900ll << QList<QPointF>{}
            << u"+800% vs 7 days ago"_s << u"up 800% from 7 days ago"_s;
        QTest::newRow("a reading at now is the end")
            << QList<MrrReading>{daysAgo(15, 1000), daysAgo(0, 2000)} << 2000ll << QList<QPointF>{{0.5, 0}, {1, 1}}
            << u"+100% vs 7 days ago"_s << line + u"rising, up 100% from 7 days ago"_s;
    }
    void trend()
    {
        QFETCH(QList<MrrReading>, readings);
        QFETCH(qint64, current);
        QFETCH(QList<QPointF>, points);
        QFETCH(QString, change);
        QFETCH(QString, spoken);
        const TrendText trend = trendText(readings, current, now);
        QCOMPARE(trend.change, change);
        QCOMPARE(trend.spoken, spoken);
        QCOMPARE(trend.showsLine(), !points.isEmpty());
        QCOMPARE(trend.points.size(), points.size());
        for (qsizetype i = 0; i < points.size(); ++i) {
            const QPointF d = trend.points.at(i) - points.at(i);
            QVERIFY2(
                qAbs(d.x()) < 1e-9 && qAbs(d.y()) < 1e-9,
                qPrintable(u"point %1: (%2, %3)"_s.arg(i).arg(trend.points.at(i).x()).arg(trend.points.at(i).y())));
        }
        // Percentages and directions are no amounts: hiding those leaves this as it is.
        const Money::Mask mask;
        QCOMPARE(trendText(readings, current, now).spoken, spoken);
    }

    void events_data()
    {
        using Kind = VeskoEvent::Kind;
        QTest::addColumn<VeskoEvent>("event");
        QTest::addColumn<QString>("badge");
        QTest::addColumn<QString>("headline");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QString>("age");

        const QString dot = u" \u00B7 "_s;
        const QString ada = u"Ada"_s;
        QTest::newRow("new, monthly") << makeEvent(
            {.amount = 1999, .interval = u"month"_s, .customer = ada, .secondsAgo = qint64{12} * 60})
                                      << "New"
                                      << "$19.99 / month" << u"Web"_s + dot + u"Lumen"_s + dot + u"Ada"_s << "12 min";
        QTest::newRow("new, no interval")
            << makeEvent({.amount = 2000, .customer = ada, .channel = Channel::appStore, .secondsAgo = 29}) << "New"
            << "$20" << u"App Store"_s + dot + u"Lumen"_s + dot + u"Ada"_s << "just now";
        QTest::newRow("new, interval without amount")
            << makeEvent({.interval = u"month"_s, .customer = ada}) << "New"
            << "New subscription" << u"Web"_s + dot + u"Lumen"_s + dot + u"Ada"_s << "just now";
        QTest::newRow("cancelled, yearly, euros") << makeEvent({.kind = Kind::cancelled,
                                                                .amount = 9900,
                                                                .interval = u"year"_s,
                                                                .customer = ada,
                                                                .secondsAgo = qint64{3} * 3600,
                                                                .currency = u"EUR"_s})
                                                  << u"Cancelled"_s << QString::fromUtf8("€99 / year")
                                                  << u"Web"_s + dot + u"Lumen"_s + dot + u"Ada"_s << "3 h";
        QTest::newRow("cancelled, no amount")
            << makeEvent({.kind = Kind::cancelled, .customer = ada}) << "Cancelled"
            << "Subscription ended" << u"Web"_s + dot + u"Lumen"_s + dot + u"Ada"_s << "just now";
        QTest::newRow("reactivated, interval as sent")
            << makeEvent({.kind = Kind::reactivated,
                          .amount = 500,
                          .interval = u"3 months"_s,
                          .customer = ada,
                          .secondsAgo = qint64{2} * 86400})
            << "Back"
            << "$5 / 3 months" << u"Web"_s + dot + u"Lumen"_s + dot + u"Ada"_s << "2 d";
        QTest::newRow("reactivated, no amount")
            << makeEvent({.kind = Kind::reactivated, .customer = ada}) << "Back"
            << "New subscription" << u"Web"_s + dot + u"Lumen"_s + dot + u"Ada"_s << "just now";
        QTest::newRow("no customer label") << makeEvent({.amount = 1999, .channel = Channel::playStore}) << "New"
                                           << "$19.99" << u"Play Store"_s + dot + u"Lumen"_s << "just now";
        QTest::newRow("empty customer label and interval")
            << makeEvent({.amount = 1999, .interval = u""_s, .customer = u""_s, .channel = Channel::playStore}) << "New"
            << "$19.99" << u"Play Store"_s + dot + u"Lumen"_s << "just now";
    }

    void events()
    {
        QFETCH(VeskoEvent, event);
        QFETCH(QString, badge);
        QFETCH(QString, headline);
        QFETCH(QString, detail);
        QFETCH(QString, age);

        const EventRow row = eventRow(event, now);
        QCOMPARE(row.badge, badge);
        QCOMPARE(row.headline, headline);
        QCOMPARE(row.detail, detail);
        QCOMPARE(row.age, age);
    }

    void eventSpoken_data()
    {
        using Kind = VeskoEvent::Kind;
        QTest::addColumn<VeskoEvent>("event");
        QTest::addColumn<bool>("hide");
        QTest::addColumn<QString>("spoken");

        const QString ada = u"Ada"_s;
        QTest::newRow("new, monthly, euros")
            << makeEvent({.amount = 999,
                          .interval = u"month"_s,
                          .channel = Channel::playStore,
                          .secondsAgo = qint64{5} * 60,
                          .currency = u"EUR"_s,
                          .project = u"Snoutly"_s})
            << false << QString::fromUtf8("New, €9.99 per month, Play Store, Snoutly, 5 minutes ago");
        QTest::newRow("interval as sent") << makeEvent(
            {.kind = Kind::reactivated, .amount = 500, .interval = u"3 months"_s, .secondsAgo = qint64{2} * 86400})
                                          << false << u"Back, $5 per 3 months, Web, Lumen, 2 days ago"_s;
        QTest::newRow("no interval") << makeEvent({.amount = 2000, .channel = Channel::appStore, .secondsAgo = 3600})
                                     << false << u"New, $20, App Store, Lumen, 1 hour ago"_s;
        QTest::newRow("empty interval, customer and project")
            << makeEvent({.amount = 1999, .interval = u""_s, .customer = u""_s, .project = u""_s}) << false
            << u"New, $19.99, Web, just now"_s;
        QTest::newRow("cancelled, no amount: the headline")
            << makeEvent({.kind = Kind::cancelled, .customer = ada, .secondsAgo = qint64{3} * 3600}) << false
            << u"Cancelled, Subscription ended, Web, Lumen, Ada, 3 hours ago"_s;
        QTest::newRow("reactivated, no amount")
            << makeEvent({.kind = Kind::reactivated, .interval = u"month"_s, .secondsAgo = 86400}) << false
            << u"Back, New subscription, Web, Lumen, 1 day ago"_s;
        QTest::newRow("hidden") << makeEvent({.amount = 999, .interval = u"month"_s, .customer = ada}) << true
                                << u"New, hidden, Web, Lumen, Ada, just now"_s;
        QTest::newRow("hidden, no amount")
            << makeEvent({.kind = Kind::cancelled}) << true << u"Cancelled, Subscription ended, Web, Lumen, just now"_s;
    }
    void eventSpoken()
    {
        QFETCH(VeskoEvent, event);
        QFETCH(bool, hide);
        QFETCH(QString, spoken);
        const Money::Mask mask(hide);
        QCOMPARE(eventRow(event, now).spoken, spoken);
    }

    void eventOrder_data()
    {
        QTest::addColumn<QList<VeskoEvent>>("events");
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<QString>("emptyText");

        QTest::newRow("none") << QList<VeskoEvent>{} << QStringList{}
                              << "New subscribers show up here the moment they arrive.";
        QTest::newRow("order kept") << QList<VeskoEvent>{makeEvent({.secondsAgo = 600, .id = u"b"_s}),
                                                         makeEvent({.secondsAgo = 60, .id = u"a"_s}),
                                                         makeEvent({.secondsAgo = 6000, .id = u"c"_s})}
                                    << QStringList{u"b"_s, u"a"_s, u"c"_s} << u""_s;
    }

    void eventOrder()
    {
        QFETCH(QList<VeskoEvent>, events);
        QFETCH(QStringList, ids);
        QFETCH(QString, emptyText);

        const EventRows card = eventRows(events, now);
        QStringList shown;
        for (const EventRow &row : card.rows)
            shown.append(row.id);
        QCOMPARE(shown, ids);
        QCOMPARE(card.emptyText, emptyText);
    }

    void footerNote_data()
    {
        QTest::addColumn<QDateTime>("refreshedAt");
        QTest::addColumn<QString>("scope");
        QTest::addColumn<bool>("scoped");
        QTest::addColumn<QString>("note");

        QTest::newRow("never refreshed") << QDateTime() << "" << false << "";
        QTest::newRow("just now") << now.addSecs(-20) << "" << false << "Updated just now";
        QTest::newRow("clock behind the refresh") << now.addSecs(300) << "" << false << "Updated just now";
        QTest::newRow("minutes") << now.addSecs(qint64{-12} * 60) << "" << false << "Updated 12 min ago";
        QTest::newRow("a project among others")
            << now.addSecs(qint64{-12} * 60) << u"Pawlog"_s << true << u"Pawlog \u00B7 Updated 12 min ago"_s;
        QTest::newRow("the whole account: not named")
            << now.addSecs(qint64{-12} * 60) << "All projects" << false << "Updated 12 min ago";
        QTest::newRow("never refreshed, scoped") << QDateTime() << "Pawlog" << true << "";
    }

    void footerNote()
    {
        QFETCH(QDateTime, refreshedAt);
        QFETCH(QString, scope);
        QFETCH(bool, scoped);
        QFETCH(QString, note);

        QCOMPARE(footerText(refreshedAt, now, true, scope, scoped).refreshNote, note);
    }

    void panel_data()
    {
        using Block = PanelState::Block;
        using Action = MessageText::Action;
        QTest::addColumn<Phase>("phase");
        QTest::addColumn<int>("summary");
        QTest::addColumn<int>("countEndingSetting"); // -1: no account record
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<Block>("block");
        QTest::addColumn<bool>("footer");
        QTest::addColumn<bool>("channels");
        QTest::addColumn<bool>("countEnding");
        QTest::addColumn<QString>("button"); // of the sign-in block or the message view
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<Action>("action");

        const QString waiting = u"Waiting for your browser\u2026"_s;
        const Action refresh = Action::refresh;
        QTest::newRow("signed out") << Phase::signedOut() << int(noSummary) << -1 << false << Block::SignIn << false
                                    << false << true << "Sign in" << true << refresh;
        QTest::newRow("signed out, summary held") << Phase::signedOut() << int(paying) << -1 << false << Block::SignIn
                                                  << false << true << true << "Sign in" << true << refresh;
        QTest::newRow("signing in") << Phase::signingIn() << int(noSummary) << -1 << false << Block::SignIn << false
                                    << false << true << waiting << false << refresh;
        QTest::newRow("signing in with a token and a summary")
            << Phase::signingIn() << int(paying) << 1 << true << Block::SignIn << true << true << true << waiting
            << false << refresh;
        QTest::newRow("loading") << Phase::loading() << int(noSummary) << -1 << true << Block::Spinner << true << false
                                 << true << "" << true << refresh;
        QTest::newRow("loading, summary held") << Phase::loading() << int(paying) << 1 << true << Block::Dashboard
                                               << true << true << true << "" << true << refresh;
        QTest::newRow("ready without summary") << Phase::ready() << int(noSummary) << 0 << true << Block::Spinner
                                               << true << false << false << "" << true << refresh;
        QTest::newRow("ready, ending left out") << Phase::ready() << int(paying) << 0 << true << Block::Dashboard
                                                << true << true << false << "" << true << refresh;
        QTest::newRow("ready, no paying channel") << Phase::ready() << int(notPaying) << -1 << true << Block::Dashboard
                                                  << true << false << true << "" << true << refresh;
        QTest::newRow("failed without summary")
            << Phase::failed(Phase::offlineMessage()) << int(noSummary) << 1 << true << Block::Message << true << false
            << true << "Try again" << true << refresh;
        QTest::newRow("failed, summary held") << Phase::failed(Phase::loadFailedMessage()) << int(paying) << 1 << true
                                              << Block::Dashboard << true << true << true << "" << true << refresh;
        QTest::newRow("sign-in failed, no token")
            << Phase::failed(Phase::signInFailedMessage()) << int(noSummary) << -1 << false << Block::Message << false
            << false << true << "Sign in" << true << Action::signIn;
    }

    void panel()
    {
        QFETCH(Phase, phase);
        QFETCH(int, summary);
        QFETCH(int, countEndingSetting);
        QFETCH(bool, signedIn);
        QFETCH(PanelState::Block, block);
        QFETCH(bool, footer);
        QFETCH(bool, channels);
        QFETCH(bool, countEnding);
        QFETCH(QString, button);
        QFETCH(bool, enabled);
        QFETCH(MessageText::Action, action);

        std::optional<Summary> held;
        if (summary != noSummary)
            held = summaryWithChannels({{Channel::web, summary == paying ? 1999 : 0}});
        std::optional<Me> me;
        if (countEndingSetting >= 0) {
            me = Me({.id = u"usr_1"_s,
                     .name = u"Ada"_s,
                     .currency = u"USD"_s,
                     .countEndingSubscriptions = countEndingSetting == 1});
        }

        const PanelState state = panelState(phase, held, me, signedIn);
        QCOMPARE(state.block, block);
        QCOMPARE(state.showsFooter, footer);
        QCOMPARE(state.showsChannels, channels);
        QCOMPARE(state.countEnding, countEnding);
        switch (block) {
        case PanelState::Block::SignIn:
            QCOMPARE(state.signIn.buttonTitle, button);
            QCOMPARE(state.signIn.buttonEnabled, enabled);
            break;
        case PanelState::Block::Message:
            QCOMPARE(state.message.title, u"No numbers yet"_s);
            QCOMPARE(state.message.message, phase.message());
            QCOMPARE(state.message.actionTitle, button);
            QCOMPARE(state.message.action, action);
            break;
        case PanelState::Block::Spinner:
        case PanelState::Block::Dashboard:
            break;
        }
    }

    // The tray menu's lines for each state, and the one note of the footer
    // menu that depends on the desktop.
    void trayMenu_data()
    {
        QTest::addColumn<Phase>("phase");
        QTest::addColumn<bool>("withSummary");
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<TrayMenuText>("text");

        const QStringList channels{u"Web \u00b7 $800"_s, u"App Store \u00b7 $434.50"_s};
        const TrayMenuText figures{.headline = u"MRR $1,235 \u00b7 +12%"_s, .channels = channels};
        QTest::newRow("signed out") << Phase::signedOut() << false << false << false
                                    << TrayMenuText{.signInTitle = u"Sign in"_s, .signInEnabled = true};
        QTest::newRow("waiting for the browser")
            << Phase::signingIn() << false << false << false
            << TrayMenuText{.signInTitle = u"Waiting for your browser\u2026"_s, .signInEnabled = false};
        QTest::newRow("loading") << Phase::loading() << false << true << false << TrayMenuText{};
        QTest::newRow("failed before any figures") << Phase::failed(Phase::offlineMessage()) << false << true << false
                                                   << TrayMenuText{.notice = Phase::offlineMessage()};
        QTest::newRow("figures") << Phase::ready() << true << true << false << figures;
        QTest::newRow("failed later: the figures stay")
            << Phase::failed(Phase::offlineMessage()) << true << true << false << figures;
        QTest::newRow("hidden amounts") << Phase::ready() << true << true << true
                                        << TrayMenuText{.headline = u"MRR $\u2022\u2022\u2022 \u00b7 +12%"_s,
                                                        .channels = {u"Web \u00b7 $\u2022\u2022\u2022"_s,
                                                                     u"App Store \u00b7 $\u2022\u2022\u2022"_s}};
    }
    void trayMenu()
    {
        QFETCH(Phase, phase);
        QFETCH(bool, withSummary);
        QFETCH(bool, signedIn);
        QFETCH(bool, hidden);
        QFETCH(TrayMenuText, text);

        Summary::Fields fields{
            .currency = u"USD"_s,
            .mrr = 123450,
            .growth = 12.4,
            .byChannel = {ChannelAmount(Channel::web, 80000), ChannelAmount(Channel::appStore, 43450)},
            .hasSources = true};
        const std::optional<Summary> summary = withSummary ? std::optional(Summary(fields)) : std::nullopt;
        const Money::Mask mask(hidden);
        const TrayMenuText made = trayMenuText(panelState(phase, summary, std::nullopt, signedIn), summary);
        QCOMPARE(made.headline, text.headline);
        QCOMPARE(made.channels, text.channels);
        QCOMPARE(made.notice, text.notice);
        QCOMPARE(made.signInTitle, text.signInTitle);
        QCOMPARE(made.signInEnabled, text.signInEnabled);
    }

    // Titles stay within what banners show (GNOME cuts near 40 characters);
    // the sums open the body instead.
    void saleBurst_data()
    {
        QTest::addColumn<int>("added");
        QTest::addColumn<int>("back");
        QTest::addColumn<int>("cancelled");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("firstLine");
        QTest::newRow("new ones") << 3 << 0 << 0 << u"3 new subscriptions"_s << u"+$29.97"_s;
        QTest::newRow("one of each") << 1 << 1 << 1 << u"1 new, 1 reactivated, 1 cancelled"_s << u"+$19.98"_s;
        QTest::newRow("a big burst") << 999 << 999 << 999 << u"999 new, 999 reactivated, 999 cancelled"_s
                                     << u"+$19,960.02"_s;
        QTest::newRow("only cancellations") << 0 << 0 << 2 << u"2 subscriptions cancelled"_s
                                            << u"Subscription cancelled \u00B7 $9.99 / month \u00B7 Web \u00B7 Lumen"_s;
        QTest::newRow("back again") << 0 << 2 << 0 << u"2 subscriptions reactivated"_s << u"+$19.98"_s;
    }
    void saleBurst()
    {
        QFETCH(int, added);
        QFETCH(int, back);
        QFETCH(int, cancelled);
        QFETCH(QString, title);
        QFETCH(QString, firstLine);
        QList<VeskoEvent> events;
        const auto add = [&](int n, VeskoEvent::Kind kind) {
            for (int i = 0; i < n; ++i)
                events << makeEvent(
                    {.kind = kind, .amount = 999, .interval = u"month"_s, .id = u"evt_%1"_s.arg(events.size())});
        };
        add(added, VeskoEvent::Kind::new_);
        add(back, VeskoEvent::Kind::reactivated);
        add(cancelled, VeskoEvent::Kind::cancelled);
        const Notification notification = saleNotification(events);
        QCOMPARE(notification.title, title);
        QVERIFY2(notification.title.size() <= 40, qPrintable(notification.title));
        QCOMPARE(notification.body.section(u'\n', 0, 0), firstLine);
        QCOMPARE(notification.body.count(u'\n'), events.size() - (firstLine.startsWith(u'+') ? 0 : 1));
    }

    // A version named by the feed never pushes the rest out of a title.
    void updateTitles_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("note");
        QTest::addColumn<QString>("title");
        QTest::newRow("plain") << u"1.3"_s << u"Vesko 1.3 is available."_s << u"Vesko 1.3 is available"_s;
        QTest::newRow("long") << u"1.3.0-beta.12+build.2026.12.07"_s << u"Vesko 1.3.0-beta.12+b\u2026 is available."_s
                              << u"Vesko 1.3.0-beta.12+b\u2026 is available"_s;
        QTest::newRow("blank") << u" \n"_s << u"Vesko is available."_s << u"Vesko is available"_s;
    }
    void updateTitles()
    {
        QFETCH(QString, version);
        QFETCH(QString, note);
        QFETCH(QString, title);
        const UpdateText text = updateText(UpdateStatus::available, version);
        QCOMPARE(text.note, note);
        QCOMPARE(text.notification.title, title);
        QVERIFY(text.notification.title.size() <= 40);
        QCOMPARE(text.actionTitle, u"Download"_s);
    }

    void amountOnlyNote()
    {
        const auto amountChoice = [](bool trayShowsText) {
            for (const TrayStyleChoice &choice : footerText({}, now, trayShowsText).trayStyleChoices) {
                if (choice.style == TrayStyle::amount)
                    return choice;
            }
            return TrayStyleChoice{};
        };
        QCOMPARE(amountChoice(true).note, QString());
        QCOMPARE(amountChoice(false).note, u"This tray cannot show text: the snout stays"_s);
    }
};

QTEST_GUILESS_MAIN(PresentersTest)
#include "tst_presenters.moc"
