// Sale notifications from the refresh itself: what a sequence of refreshes
// notifies, against a scripted service and a fake notification server.
#include "app/core/AppModel.h"
#include "app/core/SaleWatcher.h"
#include "tests/support/Fakes.h"
#include "tests/support/Fixtures.h"
#include "tests/support/ModelRig.h"
#include "tests/support/ScriptedService.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace vesko;

namespace {

const QDateTime t0 = QDateTime::fromSecsSinceEpoch(1772357400, Qt::UTC);

// An event `minutes` after t0 (negative: before it).
QJsonObject ev(const QString &id, const QString &kind = u"new"_s, qint64 amount = 999,
               const QString &currency = u"EUR"_s, int minutes = 1)
{
    QJsonObject event = fixtures::event(id);
    event[u"kind"_s] = kind;
    event[u"amount"_s] = amount;
    event[u"currency"_s] = currency;
    event[u"occurred_at"_s] = t0.addSecs(qint64{minutes} * 60).toString(Qt::ISODate);
    return event;
}

struct Stage : ModelRig
{
    FakeNotifier notifier;
    QDateTime now = t0;
    bool push = false;
    std::unique_ptr<AppModel> model;
    std::unique_ptr<SaleWatcher> watcher;

    Stage()
    {
        secrets.stored = u"tok"_s;
        model = std::make_unique<AppModel>(environment([this] { return now; }));
        watcher = std::make_unique<SaleWatcher>(*model, notifier, settings, [this] { return push; });
    }
    // One refresh at the next minute that serves `events`.
    bool load(const QJsonArray &events)
    {
        service.events = events;
        now = now.addSecs(60);
        int before = service.count("/v1/events");
        model->refresh();
        return QTest::qWaitFor(
            [&] { return service.count("/v1/events") > before && model->findChildren<Refresh *>().isEmpty(); }, 5000);
    }
};

} // namespace

class SalesTest : public QObject
{
    Q_OBJECT

private slots:
    void notifies_data()
    {
        QTest::addColumn<QList<QJsonArray>>("loads"); // the event list of each refresh
        QTest::addColumn<bool>("cancellations");
        QTest::addColumn<QStringList>("titles"); // every notification shown, in order

        const QJsonObject a = ev(u"a"_s, u"new"_s, 999, u"EUR"_s, -5);
        QTest::newRow("first load is the baseline") << QList<QJsonArray>{{a, ev(u"b"_s)}} << true << QStringList{};
        QTest::newRow("one new, then repeats") << QList<QJsonArray>{{a},
                                                                    {ev(u"b"_s, u"new"_s, 999, u"EUR"_s, 1), a},
                                                                    {ev(u"b"_s, u"new"_s, 999, u"EUR"_s, 1), a}}
                                               << true << QStringList{u"New subscription"_s};
        QTest::newRow("out of order") << QList<QJsonArray>{{a},
                                                           {a, ev(u"c"_s, u"reactivated"_s, 500, u"USD"_s, 1)},
                                                           {ev(u"d"_s, u"new"_s, 100, u"USD"_s, 2),
                                                            ev(u"c"_s, u"reactivated"_s, 500, u"USD"_s, 1), a}}
                                      << true << QStringList{u"Subscription reactivated"_s, u"New subscription"_s};
        // Reached the feed after the service's sync, dated before our last refresh.
        QTest::newRow("a late arrival") << QList<QJsonArray>{{a}, {ev(u"late"_s, u"new"_s, 999, u"EUR"_s, -30), a}}
                                        << true << QStringList{u"New subscription"_s};
        QTest::newRow("more than a day old")
            << QList<QJsonArray>{{a}, {ev(u"old"_s, u"new"_s, 999, u"EUR"_s, -25 * 60), a}} << true << QStringList{};
        QTest::newRow("a cancellation, notified")
            << QList<QJsonArray>{{a}, {ev(u"x"_s, u"cancelled"_s, 999, u"EUR"_s, 1), a}} << true
            << QStringList{u"Subscription cancelled"_s};
        QTest::newRow("a cancellation, not wanted")
            << QList<QJsonArray>{{a}, {ev(u"x"_s, u"cancelled"_s, 999, u"EUR"_s, 1), a}} << false << QStringList{};
        QTest::newRow("a burst in two currencies")
            << QList<QJsonArray>{{a},
                                 {ev(u"p"_s, u"new"_s, 1999, u"USD"_s, 1), ev(u"q"_s, u"new"_s, 2299, u"USD"_s, 1),
                                  ev(u"r"_s, u"new"_s, 999, u"EUR"_s, 1), ev(u"s"_s, u"cancelled"_s, 999, u"EUR"_s, 1),
                                  a}}
            << false << QStringList{u"3 new subscriptions"_s};
        QTest::newRow("a mixed burst") << QList<QJsonArray>{{a},
                                                            {ev(u"p"_s, u"new"_s, 1999, u"USD"_s, 1),
                                                             ev(u"r"_s, u"reactivated"_s, 1000, u"USD"_s, 1),
                                                             ev(u"s"_s, u"cancelled"_s, 999, u"EUR"_s, 1), a}}
                                       << true << QStringList{u"1 new, 1 reactivated, 1 cancelled"_s};
    }
    void notifies()
    {
        QFETCH(QList<QJsonArray>, loads);
        QFETCH(bool, cancellations);
        QFETCH(QStringList, titles);
        Stage stage;
        QJsonObject me = fixtures::me();
        me[u"notify_cancellations"_s] = cancellations;
        stage.service.replies.insert("/v1/me", ScriptedReply::json(200, fixtures::envelope(me)));
        for (const QJsonArray &events : loads)
            QVERIFY(stage.load(events));
        QStringList shown;
        for (const Notification &notification : stage.notifier.shown)
            shown << notification.title;
        QCOMPARE(shown, titles);
    }

    // Our clock two hours ahead of the server's: every refresh is "later"
    // than the events it brings.
    void clockAhead()
    {
        Stage stage;
        stage.now = t0.addSecs(qint64{2} * 60 * 60);
        QVERIFY(stage.load({ev(u"a"_s, u"new"_s, 999, u"EUR"_s, -5)}));
        QVERIFY(stage.load({ev(u"b"_s, u"new"_s, 999, u"EUR"_s, 1), ev(u"a"_s, u"new"_s, 999, u"EUR"_s, -5)}));
        QVERIFY(stage.load({ev(u"c"_s, u"new"_s, 999, u"EUR"_s, 2), ev(u"b"_s, u"new"_s, 999, u"EUR"_s, 1)}));
        QCOMPARE(stage.notifier.shown.size(), 2);
    }

    // A feed longer than what is remembered: its own ids are never forgotten,
    // so none comes back as new.
    void longFeed()
    {
        Stage stage;
        QJsonArray feed;
        for (int i = 0; i < 1500; ++i)
            feed.append(ev(u"e%1"_s.arg(i), u"new"_s, 999, u"EUR"_s, -i / 100));
        QVERIFY(stage.load(feed));
        feed.prepend(ev(u"new"_s, u"new"_s, 999, u"EUR"_s, 3));
        QVERIFY(stage.load(feed));
        QVERIFY(stage.load(feed));
        QCOMPARE(stage.notifier.shown.size(), 1);
        QCOMPARE(stage.notifier.shown.first().title, u"New subscription"_s);
    }

    void oneEventInThePanelsWords()
    {
        Stage stage;
        QVERIFY(stage.load({}));
        QVERIFY(stage.load({ev(u"b"_s)}));
        QCOMPARE(stage.notifier.shown.size(), 1);
        QCOMPARE(stage.notifier.shown.first().body, u"\u20AC9.99 / month \u00B7 Play Store \u00B7 Snoutly"_s);
    }

    // Another project's feed is news to the watcher, not to the user: its
    // first load is a baseline; what came before stays seen.
    void anotherProjectIsABaseline()
    {
        Stage stage;
        QVERIFY(stage.load({ev(u"a"_s)}));
        stage.service.events = {ev(u"a"_s), ev(u"b"_s)};
        stage.model->setProjectScope(u"p1"_s);
        QVERIFY(QTest::qWaitFor([&] { return stage.model->phase().kind() == Phase::Case::ready; }, 5000));
        QVERIFY(stage.notifier.shown.isEmpty());
        QVERIFY(stage.load({ev(u"a"_s), ev(u"b"_s), ev(u"c"_s)}));
        QCOMPARE(stage.notifier.shown.size(), 1);
        stage.model->setProjectScope(u"all"_s);
        QVERIFY(QTest::qWaitFor([&] { return stage.model->phase().kind() == Phase::Case::ready; }, 5000));
        QVERIFY(stage.load({ev(u"a"_s), ev(u"b"_s), ev(u"c"_s), ev(u"d"_s)}));
        QCOMPARE(stage.notifier.shown.size(), 2);
    }

    void hiddenAmounts()
    {
        Stage stage;
        stage.model->setHideAmounts(true);
        QVERIFY(stage.load({}));
        QVERIFY(stage.load({ev(u"p"_s, u"new"_s, 1999, u"USD"_s, 1), ev(u"q"_s, u"new"_s, 2299, u"USD"_s, 1)}));
        QCOMPARE(stage.notifier.shown.size(), 1);
        QCOMPARE(stage.notifier.shown.first().title, u"2 new subscriptions"_s);
        QCOMPARE(stage.notifier.shown.first().body.section(u'\n', 0, 0), u"+$\u2022\u2022\u2022"_s);
        QVERIFY(!stage.notifier.shown.first().body.contains(u"19"_s));
    }

    void sound_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("sound");
        QTest::newRow("a named sound") << "message-new-instant"
                                       << "message-new-instant";
        QTest::newRow("none") << "none"
                              << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void sound()
    {
        QFETCH(QString, setting);
        QFETCH(QString, sound);
        Stage stage;
        QJsonObject me = fixtures::me();
        me[u"sound"_s] = setting;
        stage.service.replies.insert("/v1/me", ScriptedReply::json(200, fixtures::envelope(me)));
        QVERIFY(stage.load({}));
        QVERIFY(stage.load({ev(u"b"_s)}));
        QCOMPARE(stage.notifier.shown.size(), 1);
        QCOMPARE(stage.notifier.shown.first().sound, sound);
    }

    // Off, pushes arriving, or a new account: nothing, and no flood afterwards.
    void quietCases()
    {
        Stage stage;
        QVERIFY(stage.load({}));
        stage.watcher->setEnabled(false);
        QVERIFY(stage.load({ev(u"b"_s, u"new"_s, 999, u"EUR"_s, 1)}));
        stage.watcher->setEnabled(true);
        QVERIFY(stage.load({ev(u"b"_s, u"new"_s, 999, u"EUR"_s, 1)}));
        stage.push = true;
        QVERIFY(stage.load({ev(u"c"_s, u"new"_s, 999, u"EUR"_s, 2), ev(u"b"_s, u"new"_s, 999, u"EUR"_s, 1)}));
        stage.push = false;

        // Signed out and in again: the new session's first load is a baseline.
        stage.model->signOut();
        QTRY_VERIFY(!stage.model->isSignedIn());
        stage.service.events = {ev(u"d"_s, u"new"_s, 999, u"EUR"_s, 5)};
        stage.now = stage.now.addSecs(600);
        stage.model->signIn();
        QVERIFY(FakeBrowserSession::all.last()->receive(QUrl(u"vesko://callback?code=c1"_s)));
        QTRY_VERIFY(stage.model->isSignedIn() && stage.model->phase() == Phase::ready());
        QCOMPARE(stage.notifier.shown.size(), 0);
        QVERIFY(stage.load({ev(u"e"_s, u"new"_s, 999, u"EUR"_s, 15), ev(u"d"_s, u"new"_s, 999, u"EUR"_s, 5)}));
        QCOMPARE(stage.notifier.shown.size(), 1);
    }
};

QTEST_GUILESS_MAIN(SalesTest)
#include "tst_sales.moc"
