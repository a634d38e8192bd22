#include "app/core/AppcastUpdater.h"
#include "app/core/UpdateNotices.h"
#include "kit/HttpSession.h"
#include "tests/support/Fakes.h"
#include "tests/support/TestHttpServer.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

using namespace vesko;
using namespace std::chrono_literals;

namespace {

const QDateTime base = QDateTime::fromString(u"2025-03-01T12:00:00Z"_s, Qt::ISODate);

QByteArray feed(const QByteArray &channel)
{
    return "<rss xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel>" + channel
           + "</channel></rss>";
}

QByteArray item(const QByteArray &version, const QByteArray &extra = "<link>https://x.test/</link>")
{
    return "<item><sparkle:version>" + version + "</sparkle:version>" + extra + "</item>";
}

// One updater's world: settings file, transport, a feed server that serves
// `body`, and a clock that stands still unless a test moves it.
struct World
{
    QTemporaryDir dir;
    QSettings settings{dir.filePath(u"vesko.ini"_s), QSettings::IniFormat};
    HttpSession session;
    QByteArray body;
    TestHttpServer server{[this](const ReceivedRequest &) { return ScriptedReply{200, body}; }};
    QUrl url{QString::fromLatin1(server.origin() + "/appcast.xml")};
    QDateTime now = base;
    QStringList said;
    bool shows = true; // whoever hears of an update tells the user

    // Checks every hour; a failed automatic check is tried again after 10 minutes.
    std::unique_ptr<AppcastUpdater> updater(std::chrono::milliseconds startDelay, const QString &current = u"1.0"_s)
    {
        auto u = std::make_unique<AppcastUpdater>(
            url, current, settings, session, AppcastUpdater::Schedule{1h, startDelay, 10min, [this] { return now; }});
        QObject::connect(u.get(), &Updater::updateAvailable,
                         [this, u = u.get()](const QString &v, const QUrl &page, bool user) {
                             said << u"%1 %2 %3"_s.arg(v, page.toString(), QLatin1String(user ? "user" : "auto"));
                             if (shows)
                                 u->markAnnounced();
                         });
        QObject::connect(u.get(), &Updater::upToDate, [this] { said << u"upToDate"_s; });
        QObject::connect(u.get(), &Updater::checkFailed, [this] { said << u"failed"_s; });
        return u;
    }
};

// Answers when told to; counts what it was asked.
struct FakeUpdater : Updater
{
    int checks = 0;
    int marked = 0;
    void checkForUpdates() override { ++checks; }
    void markAnnounced() override { ++marked; }
    void answer(const QString &outcome, bool user)
    {
        if (outcome == u"available")
            emit updateAvailable(u"1.3"_s, QUrl(u"https://x.test/get"_s), user);
        else if (outcome == u"upToDate")
            emit upToDate();
        else
            emit checkFailed();
    }
};

} // namespace

class TestUpdater : public QObject
{
    Q_OBJECT

private slots:
    void versionOrder_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("expected");
        QTest::newRow("numbers, not text") << "1.10"
                                           << "1.9" << 1;
        QTest::newRow("leading and trailing zeros") << "1.02"
                                                    << "1.2.0" << 0;
        QTest::newRow("beyond 64 bits") << "1.123456789012345678901234567890"
                                        << "1.123456789012345678901234567889" << 1;
        QTest::newRow("pre-release before its release") << "1.2.0-beta"
                                                        << "1.2.0" << -1;
        QTest::newRow("attached tag, its numbers not text") << "1.2b10"
                                                            << "1.2-b.9" << 1;
        QTest::newRow("rc after beta, whatever the case") << "1.0-RC.1"
                                                          << "1.0-beta.5" << 1;
        QTest::newRow("fewer tag pieces first") << "1.0-alpha"
                                                << "1.0-alpha.1" << -1;
        QTest::newRow("tag number before word") << "1.0-1"
                                                << "1.0-alpha" << -1;
        QTest::newRow("build ignored, v prefix, space") << " v1.0+999\n"
                                                        << "1.0" << 0;
        // Garbage is older than the oldest version there is.
        for (const char *garbage : {"soon", "1.", "1..2", "1.2-", "1.2 beta", "1.0+", "\xef\xbc\x91.2"})
            QTest::newRow(garbage) << QString::fromUtf8(garbage) << "0" << -1;
    }
    void versionOrder()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, expected);
        auto sign = [](std::strong_ordering order) { return order < 0 ? -1 : order > 0 ? 1 : 0; };
        QCOMPARE(sign(Version::parse(a) <=> Version::parse(b)), expected);
        QCOMPARE(sign(Version::parse(b) <=> Version::parse(a)), -expected);
    }

    // The user's check; a second call while it runs joins it.
    void userCheck_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QByteArray>("body"); // null: nothing listens
        QTest::addColumn<QString>("expected");
        const QString v13 = u"1.3.0 https://x.test/ user"_s;
        QTest::newRow("newer") << "1.2" << feed(item("1.3.0")) << v13;
        QTest::newRow("same") << "1.3" << feed(item("1.3.0")) << "upToDate";
        QTest::newRow("older") << "2.0" << feed(item("1.3.0")) << "upToDate";
        QTest::newRow("newest") << "1.2" << feed(item("1.10-rc.1") + item("1.10") + item("1.9"))
                                << "1.10 https://x.test/ user";
        QTest::newRow("enclosure") << "1.2"
                                   << feed(
                                          "<item><enclosure sparkle:version=\"13\" sparkle:shortVersionString=\"1.3\"/>"
                                          "<link>https://x.test/</link></item>")
                                   << "1.3 https://x.test/ user";
        QTest::newRow("beta channel skipped")
            << "1.2" << feed(item("2.0", "<sparkle:channel>beta</sparkle:channel>") + item("1.3.0")) << v13;
        QTest::newRow("no valid version") << "1.2" << feed(item("soon")) << "failed";
        QTest::newRow("cut off") << "1.2" << feed(item("1.3.0")).chopped(12) << "failed";
        QTest::newRow("entity from a DTD") << "1.2"
                                           << "<!DOCTYPE rss [<!ENTITY v \"9.0\">]>" + feed(item("&v;")) << "failed";
        QTest::newRow("own-scheme link, the channel's instead")
            << "1.2" << feed("<link>/v</link>" + item("1.3", "<link>vesko://callback?code=x</link>"))
            << "1.3 {origin}/v user";
        QTest::newRow("relative release notes")
            << "1.2" << feed(item("1.3", "<sparkle:releaseNotesLink>/notes</sparkle:releaseNotesLink>"))
            << "1.3 {origin}/notes user";
        QTest::newRow("server down") << "1.2" << QByteArray() << "failed";
    }
    void userCheck()
    {
        QFETCH(QString, current);
        QFETCH(QByteArray, body);
        QFETCH(QString, expected);
        World w;
        w.body = body;
        w.url = body.isNull() ? QUrl(QString::fromLatin1(TestHttpServer().origin())) : w.url; // a server gone at once
        auto updater = w.updater(1h, current);
        updater->checkForUpdates();
        updater->checkForUpdates();
        QVERIFY(QTest::qWaitFor([&] { return !w.said.isEmpty(); }));
        QTest::qWait(20); // and nothing more
        QCOMPARE(w.said, QStringList{expected.replace(u"{origin}"_s, QString::fromLatin1(w.server.origin()))});
        QCOMPARE(w.server.requests().size(), body.isNull() ? 0 : 1);
        // An interval on after a success; a user's failed check leaves the start delay alone.
        QCOMPARE(updater->nextAutomaticCheck(), base.addSecs(3600));
    }

    // Restarts, each due at once: the last check is in the future (a clock was
    // wrong), failed (tried again in 10 minutes, not remembered) or stale.
    // Each version is news once, across restarts, once it reached the user;
    // until then every check reports it again.
    void automaticChecks_data()
    {
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QStringList>("said");
        QTest::newRow("shown") << true << QStringList({u"2.0 https://x.test/ auto"_s, u"2.1 https://x.test/ auto"_s});
        QTest::newRow("nobody showed it") << false
                                          << QStringList({u"2.0 https://x.test/ auto"_s, u"2.0 https://x.test/ auto"_s,
                                                          u"2.1 https://x.test/ auto"_s});
    }
    void automaticChecks()
    {
        QFETCH(bool, shown);
        QFETCH(QStringList, said);
        struct Restart
        {
            int minutesLater;
            const char *latest;
            int nextInMinutes;
        }; // latest null: a broken feed
        const Restart restarts[]{{0, nullptr, 10}, {30, "2.0", 60}, {120, "2.0", 60}, {120, "2.1", 60}};
        World w;
        w.shows = shown;
        w.settings.setValue("updates/lastCheck", base.addDays(1).toString(Qt::ISODateWithMs));
        for (const Restart &restart : restarts) {
            w.now = w.now.addSecs(qint64{restart.minutesLater} * 60);
            w.body = restart.latest ? feed(item(restart.latest)) : "<rss>";
            auto updater = w.updater(0ms);
            QCOMPARE(updater->nextAutomaticCheck(), w.now);
            QTRY_COMPARE(updater->nextAutomaticCheck(), w.now.addSecs(qint64{restart.nextInMinutes} * 60));
        }
        QCOMPARE(w.said, said);
        w.now = w.now.addSecs(1800);
        QCOMPARE(w.updater(0ms)->nextAutomaticCheck(), w.now.addSecs(1800)); // fresh: not yet
    }

    // Who hears of a check's outcome, and when the updater learns that a
    // found version reached the user.
    void notices_data()
    {
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<bool>("user");
        QTest::addColumn<bool>("panelShows");
        QTest::addColumn<bool>("server"); // a notification server runs
        QTest::addColumn<QString>("note");
        QTest::addColumn<QStringList>("notified");
        QTest::addColumn<int>("announcedThen");  // before any panel shows again
        QTest::addColumn<int>("announcedLater"); // after one did

        const QString found = u"Vesko 1.3 is available."_s;
        const QStringList foundTitle{u"Vesko 1.3 is available"_s};
        QTest::newRow("automatic find") << "available" << false << false << true << found << foundTitle << 1 << 1;
        QTest::newRow("automatic find, panel open")
            << "available" << false << true << true << found << foundTitle << 1 << 1;
        QTest::newRow("automatic find, no server")
            << "available" << false << false << false << found << QStringList() << 0 << 1;
        QTest::newRow("user's find in the panel")
            << "available" << true << true << true << found << QStringList() << 1 << 1;
        QTest::newRow("user's find, panel gone")
            << "available" << true << false << true << found << foundTitle << 1 << 1;
        QTest::newRow("up to date in the panel")
            << "upToDate" << true << true << true << "Vesko 1.2 is the newest version." << QStringList() << 0 << 0;
        QTest::newRow("up to date, panel gone")
            << "upToDate" << true << false << true << "Vesko 1.2 is the newest version."
            << QStringList{u"Vesko is up to date"_s} << 0 << 0;
        QTest::newRow("failed in the panel")
            << "failed" << true << true << true << "Couldn\u2019t check for updates. Try again later." << QStringList()
            << 0 << 0;
    }
    void notices()
    {
        QFETCH(QString, outcome);
        QFETCH(bool, user);
        QFETCH(bool, panelShows);
        QFETCH(bool, server);
        QFETCH(QString, note);
        QFETCH(QStringList, notified);
        QFETCH(int, announcedThen);
        QFETCH(int, announcedLater);
        FakeUpdater updater;
        FakeNotifier notifier;
        notifier.available = server;
        FakeUrlOpener urls;
        UpdateNotices notices(updater, notifier, urls, u"1.2"_s);
        notices.viewShown();
        if (user) {
            notices.check();
            QCOMPARE(updater.checks, 1);
            QCOMPARE(notices.text().note, u"Checking for updates\u2026"_s);
        }
        if (!panelShows)
            notices.viewHidden();
        updater.answer(outcome, user);
        QCOMPARE(notices.text().note, note);
        QStringList titles;
        for (const Notification &notification : notifier.shown)
            titles << notification.title;
        QCOMPARE(titles, notified);
        QCOMPARE(updater.marked, announcedThen);
        notices.viewHidden();
        notices.viewShown();
        QCOMPARE(updater.marked, announcedLater);
        // Only a found version outlives the showing it was said in.
        QCOMPARE(notices.text().note.isEmpty(), outcome != u"available");
        // Its notification and its Download button open its page.
        notifier.click();
        notices.openDownload();
        QCOMPARE(urls.opened.size(), outcome == u"available" ? 2 : 0);
    }

    void clockTurnedBack()
    {
        World w;
        auto updater = w.updater(100ms);
        w.now = w.now.addSecs(-3600);
        QTest::qWait(300); // the timer runs out, but by the wall clock the check is an hour away
        QCOMPARE(w.server.requests().size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestUpdater)
#include "tst_updater.moc"
