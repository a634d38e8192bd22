#include "AppcastUpdater.h"
#include "DevServiceProcess.h"
#include "HttpSession.h"
#include "TestHttpServer.h"
#include "Version.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace vesko;
using namespace std::chrono_literals;

namespace {

const QDateTime base = QDateTime::fromString(QStringLiteral("2025-03-01T12:00:00Z"), Qt::ISODate);

QByteArray feed(const QByteArray &channel, const QByteArray &doctype = {})
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n" + doctype
           + "<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel>"
           + channel + "</channel></rss>";
}

QByteArray item(const QByteArray &version, const QByteArray &extra = {})
{
    return "<item><sparkle:version>" + version + "</sparkle:version><link>https://example.com/" + version + "</link>"
           + extra + "</item>";
}

bool near(const QDateTime &a, const QDateTime &b)
{
    return a.isValid() && b.isValid() && qAbs(a.msecsTo(b)) < 1000;
}

// One updater's world: settings file, transport, feed server, and a clock
// that starts at `base` and runs at real speed from there.
struct Harness
{
    Harness() : settings(dir.filePath(QStringLiteral("vesko.ini")), QSettings::IniFormat) { elapsed.start(); }

    QDateTime now() const { return base.addMSecs(elapsed.elapsed() + offset); }
    QDateTime lastCheck() const
    {
        return QDateTime::fromString(settings.value("updates/lastCheck").toString(), Qt::ISODateWithMs);
    }
    void serve(int status, const QByteArray &body)
    {
        server.setScript([=](const ReceivedRequest &) { return ScriptedReply{status, body}; });
    }

    // No automatic check unless a test asks for one; a failed one is retried after 10 minutes.
    std::unique_ptr<AppcastUpdater> updater(const QString &current, std::chrono::milliseconds startDelay = 1h,
                                            std::chrono::milliseconds interval = 1h, QUrl url = {})
    {
        if (url.isEmpty())
            url = QUrl(QString::fromLatin1(server.origin() + "/appcast.xml"));
        auto u = std::make_unique<AppcastUpdater>(url, current, settings, session,
                                                  AppcastUpdater::Schedule{interval, startDelay, 10min, [this] { return now(); }});
        QObject::connect(u.get(), &Updater::updateAvailable, [this](const QString &v, const QUrl &page, bool user) {
            said << QStringLiteral("update %1 %2 %3").arg(v, page.toString(), QLatin1String(user ? "user" : "auto"));
        });
        QObject::connect(u.get(), &Updater::upToDate, [this] { said << QStringLiteral("upToDate"); });
        QObject::connect(u.get(), &Updater::checkFailed, [this] { said << QStringLiteral("failed"); });
        return u;
    }

    QTemporaryDir dir;
    QSettings settings;
    HttpSession session{HttpSession::Limits{5s, 5s, 64 * 1024}};
    TestHttpServer server;
    QElapsedTimer elapsed;
    qint64 offset = 0;
    QStringList said;
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

        QTest::newRow("numbers, not text") << "1.10" << "1.9" << 1;
        QTest::newRow("trailing zeros") << "1.0" << "1.0.0" << 0;
        QTest::newRow("missing component") << "2" << "1.99.99" << 1;
        QTest::newRow("leading zeros") << "1.02" << "1.2" << 0;
        QTest::newRow("beyond 64 bits") << "1.123456789012345678901234567890" << "1.123456789012345678901234567889" << 1;
        QTest::newRow("pre-release before its release") << "1.2.0-beta" << "1.2.0" << -1;
        QTest::newRow("pre-release after the last release") << "1.2.0-beta" << "1.1.9" << 1;
        QTest::newRow("tag numbers, not text") << "1.0-beta.10" << "1.0-beta.9" << 1;
        QTest::newRow("attached tag") << "1.2b10" << "1.2b9" << 1;
        QTest::newRow("attached and dashed tag") << "1.2b3" << "1.2-b.3" << 0;
        QTest::newRow("alpha before beta") << "1.0-alpha" << "1.0-beta" << -1;
        QTest::newRow("rc after beta") << "1.0-rc.1" << "1.0-beta.5" << 1;
        QTest::newRow("tag case") << "1.0-RC1" << "1.0-rc1" << 0;
        QTest::newRow("fewer tag pieces first") << "1.0-alpha" << "1.0-alpha.1" << -1;
        QTest::newRow("tag number before word") << "1.0-1" << "1.0-alpha" << -1;
        QTest::newRow("build ignored") << "1.0.1+0" << "1.0+999" << 1;
        QTest::newRow("v prefix, space") << " v1.2\n" << "1.2" << 0;
        QTest::newRow("garbage equals garbage") << "soon" << "" << 0;
        // Garbage is older than the oldest version there is.
        for (const char *garbage : {"soon", "", "v", "1..2", "1.", ".1", "-1", "1.2 beta", "1.2-", "1.2-beta.", "1.2-beta..1",
                                    "1.2.beta", "1.0+", "1.0+a b", "1,2", "\xef\xbc\x91.2"})
            QTest::newRow(qPrintable(QStringLiteral("garbage '%1'").arg(QString::fromUtf8(garbage))))
                << QString::fromUtf8(garbage) << "0" << -1;
    }

    void versionOrder()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, expected);
        auto sign = [](std::strong_ordering o) { return o < 0 ? -1 : o > 0 ? 1 : 0; };
        QCOMPARE(sign(Version::parse(a) <=> Version::parse(b)), expected);
        QCOMPARE(sign(Version::parse(b) <=> Version::parse(a)), -expected);
    }

    void userCheck_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected");

        const QString v13 = QStringLiteral("update 1.3.0 https://example.com/1.3.0 user");
        auto linked = [](const QByteArray &link) { return "<item><sparkle:version>1.3</sparkle:version>" + link + "</item>"; };
        QTest::newRow("newer") << "1.2.0" << 200 << feed(item("1.3.0")) << v13;
        QTest::newRow("same") << "1.3" << 200 << feed(item("1.3.0")) << "upToDate";
        QTest::newRow("older") << "2.0" << 200 << feed(item("1.3.0")) << "upToDate";
        QTest::newRow("newest of several, out of order")
            << "1.2" << 200 << feed(item("1.4") + item("1.10") + item("1.9")) << "update 1.10 https://example.com/1.10 user";
        QTest::newRow("enclosure attributes")
            << "1.2" << 200
            << feed("<item><link>https://example.com/get</link><enclosure url=\"https://example.com/v.tgz\" "
                    "sparkle:version=\"130\" sparkle:shortVersionString=\"1.3\"/></item>")
            << "update 1.3 https://example.com/get user";
        QTest::newRow("element before enclosure attribute")
            << "1.2" << 200 << feed(item("1.3.0", "<enclosure url=\"x\" sparkle:version=\"9.0\"/>")) << v13;
        QTest::newRow("short version shown")
            << "129" << 200 << feed(item("130", "<sparkle:shortVersionString> 1.3 (Spring) </sparkle:shortVersionString>"))
            << "update 1.3 (Spring) https://example.com/130 user";
        QTest::newRow("overlong short version not shown")
            << "129" << 200
            << feed(item("130", "<sparkle:shortVersionString>" + QByteArray(65, 'x') + "</sparkle:shortVersionString>"))
            << "update 130 https://example.com/130 user";
        QTest::newRow("pre-release of the next") << "1.2.0" << 200 << feed(item("1.3.0-beta.1"))
                                                 << "update 1.3.0-beta.1 https://example.com/1.3.0-beta.1 user";
        QTest::newRow("pre-release of the current") << "1.2.0" << 200 << feed(item("1.2.0-rc.1")) << "upToDate";
        QTest::newRow("garbage version skipped") << "1.2" << 200 << feed(item("9.x") + item("1.3.0")) << v13;
        QTest::newRow("no version") << "1.2" << 200 << feed("<item><link>https://example.com/</link></item>") << "failed";
        QTest::newRow("beta channel ignored")
            << "1.2" << 200 << feed(item("2.0", "<sparkle:channel>beta</sparkle:channel>") + item("1.3.0")) << v13;
        QTest::newRow("empty channel") << "1.2" << 200 << feed({}) << "failed";
        QTest::newRow("not RSS") << "1.2" << 200 << feed(item("1.3.0")).replace("rss", "feed") << "failed";
        QTest::newRow("cut off") << "1.2" << 200 << feed(item("1.3.0")).chopped(12) << "failed";
        QTest::newRow("content after the feed") << "1.2" << 200 << feed(item("1.3.0")) + "<rss/>" << "failed";
        QTest::newRow("entity from a DTD") << "1.2" << 200 << feed(item("&v;"), "<!DOCTYPE rss [<!ENTITY v \"9.0\">]>")
                                           << "failed";
        QTest::newRow("release notes when no link")
            << "1.2" << 200 << feed(linked("<sparkle:releaseNotesLink>https://example.com/notes</sparkle:releaseNotesLink>"))
            << "update 1.3 https://example.com/notes user";
        QTest::newRow("javascript link, channel link instead")
            << "1.2" << 200 << feed("<link>https://example.com/vesko</link>" + linked("<link>javascript:alert(1)</link>"))
            << "update 1.3 https://example.com/vesko user";
        QTest::newRow("file link, no channel link") << "1.2" << 200 << feed(linked("<link>file:///etc/passwd</link>"))
                                                    << "failed";
        QTest::newRow("own scheme link, no channel link")
            << "1.2" << 200 << feed(linked("<link>vesko://callback?code=x</link>")) << "failed";
        QTest::newRow("relative link") << "1.2" << 200 << feed(linked("<link>/download</link>"))
                                       << "update 1.3 {origin}/download user";
        QTest::newRow("not found") << "1.2" << 404 << feed(item("1.3.0")) << "failed";
        QByteArray huge;
        for (int i = 0; i < 2000; ++i)
            huge += item("1.3." + QByteArray::number(i));
        QTest::newRow("over the size cap") << "1.2" << 200 << feed(huge) << "failed";
    }

    void userCheck()
    {
        QFETCH(QString, current);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, expected);

        Harness h;
        h.serve(status, body);
        auto updater = h.updater(current);
        updater->checkForUpdates();
        QVERIFY(QTest::qWaitFor([&] { return !h.said.isEmpty(); }));
        QTest::qWait(20); // and nothing more
        expected.replace(QStringLiteral("{origin}"), QString::fromLatin1(h.server.origin()));
        QCOMPARE(h.said, QStringList{expected});
    }

    void userCheckWithoutServer_data()
    {
        QTest::addColumn<QUrl>("url");
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost);
        QTest::newRow("server down") << QUrl(QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(closed.serverPort()));
        QTest::newRow("file feed") << QUrl(QStringLiteral("file:appcast.xml")); // a good feed, in the test's folder
        QTest::newRow("ftp feed") << QUrl(QStringLiteral("ftp://127.0.0.1/appcast.xml"));
    }

    void userCheckWithoutServer()
    {
        QFETCH(QUrl, url);
        Harness h;
        if (url.isLocalFile()) {
            QFile file(h.dir.filePath(url.toLocalFile()));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(feed(item("2.0"))) > 0);
            url = QUrl::fromLocalFile(file.fileName());
        }
        auto updater = h.updater(QStringLiteral("1.0"), 1h, 1h, url);
        const QDateTime due = updater->nextAutomaticCheck();
        updater->checkForUpdates();
        QVERIFY(h.said.isEmpty()); // never from inside the call
        QTRY_COMPARE(h.said, QStringList{QStringLiteral("failed")});
        QCOMPARE(updater->nextAutomaticCheck(), due); // the user's failure moves no automatic check
    }

    void concurrentUserChecksShareOneRequest()
    {
        Harness h;
        h.serve(200, feed(item("1.0")));
        auto updater = h.updater(QStringLiteral("1.0"));
        updater->checkForUpdates();
        updater->checkForUpdates();
        QTRY_VERIFY(!h.said.isEmpty());
        QTest::qWait(50);
        QCOMPARE(h.said, QStringList{QStringLiteral("upToDate")});
        QCOMPARE(h.server.requests().size(), 1);
        QVERIFY(!h.server.requests().first().headers.contains("authorization"));
    }

    void firstAutomaticCheck_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("dueAtStart");

        auto iso = [](qint64 seconds) { return base.addSecs(seconds).toString(Qt::ISODateWithMs); };
        QTest::newRow("never checked") << QString() << true;
        QTest::newRow("stale") << iso(-7200) << true;
        QTest::newRow("fresh") << iso(-1800) << false;
        QTest::newRow("in the future") << iso(86400) << true;
        QTest::newRow("garbage") << "last tuesday" << true;
    }

    void firstAutomaticCheck()
    {
        QFETCH(QString, stored);
        QFETCH(bool, dueAtStart);

        Harness h;
        h.serve(200, feed(item("1.0")));
        if (!stored.isEmpty())
            h.settings.setValue("updates/lastCheck", stored);
        auto updater = h.updater(QStringLiteral("1.0"), 0ms);
        if (dueAtStart)
            QVERIFY(near(updater->nextAutomaticCheck(), h.now()));
        else
            QCOMPARE(updater->nextAutomaticCheck(), base.addSecs(1800));
        QTest::qWait(100);
        QCOMPARE(h.server.requests().size(), dueAtStart ? 1 : 0);
    }

    // Every completed check is remembered across restarts; a failed one is retried soon.
    void automaticOutcome_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("announces");
        QTest::addColumn<bool>("completes");

        QTest::newRow("newer") << 200 << feed(item("2.0")) << true << true;
        QTest::newRow("same") << 200 << feed(item("1.0")) << false << true;
        QTest::newRow("older") << 200 << feed(item("0.9")) << false << true;
        QTest::newRow("malformed") << 200 << QByteArray("<rss>") << false << false;
        QTest::newRow("server error") << 500 << feed(item("2.0")) << false << false;
    }

    void automaticOutcome()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, announces);
        QFETCH(bool, completes);

        Harness h;
        h.serve(status, body);
        auto updater = h.updater(QStringLiteral("1.0"), 0ms);
        QTRY_VERIFY(updater->nextAutomaticCheck() > h.now().addSecs(60)); // rearmed: the check ended
        QCOMPARE(h.said, announces ? QStringList{QStringLiteral("update 2.0 https://example.com/2.0 auto")} : QStringList{});
        QVERIFY(near(h.lastCheck(), h.now()) == completes);
        const QDateTime due = updater->nextAutomaticCheck();
        QVERIFY(near(due, h.now().addSecs(completes ? 3600 : 600)));

        updater = h.updater(QStringLiteral("1.0"), 0ms);
        QCOMPARE(updater->nextAutomaticCheck() == due, completes);
    }

    void automaticAnnouncesAVersionOnce()
    {
        Harness h;
        h.serve(200, feed(item("2.0")));
        auto updater = h.updater(QStringLiteral("1.0"), 0ms);
        QTRY_COMPARE(h.said, QStringList{QStringLiteral("update 2.0 https://example.com/2.0 auto")});

        // A restart the next day: checked again, with nothing new to say.
        updater.reset();
        h.offset += 2 * 3600 * 1000;
        updater = h.updater(QStringLiteral("1.0"), 0ms);
        QTRY_COMPARE(h.server.requests().size(), 2);
        QTRY_VERIFY(updater->nextAutomaticCheck() > h.now().addSecs(60));
        QCOMPARE(h.said.size(), 1);

        // A newer release is news again.
        h.serve(200, feed(item("2.1")));
        updater.reset();
        h.offset += 2 * 3600 * 1000;
        updater = h.updater(QStringLiteral("1.0"), 0ms);
        QTRY_COMPARE(h.said.size(), 2);
        QCOMPARE(h.said.last(), QStringLiteral("update 2.1 https://example.com/2.1 auto"));
    }

    void automaticChecksRepeat()
    {
        Harness h;
        h.serve(200, feed(item("1.0")));
        auto updater = h.updater(QStringLiteral("1.0"), 0ms, 100ms);
        QTRY_VERIFY_WITH_TIMEOUT(h.server.requests().size() >= 3, 5000);
        const qsizetype seen = h.server.requests().size();
        QTest::qWait(300);
        QVERIFY(h.server.requests().size() <= seen + 4); // once per interval, not in a loop
    }

    void clockTurnedBack()
    {
        Harness h;
        h.serve(200, feed(item("1.0")));
        h.settings.setValue("updates/lastCheck", h.now().addMSecs(-100).toString(Qt::ISODateWithMs));
        auto updater = h.updater(QStringLiteral("1.0"), 0ms, 200ms);
        h.offset -= 3600 * 1000;
        // The timer runs out, but by the wall clock the check is an hour away.
        QTest::qWait(300);
        QCOMPARE(h.server.requests().size(), 0);
    }

    // The feed the demo service really emits, changed through its control interface.
    void demoServiceFeed()
    {
        DevServiceProcess service;
        QVERIFY2(service.failure().isEmpty(), qPrintable(service.failure()));
        Harness h;
        auto updater = h.updater(QStringLiteral("0.1.0"), 1h, 1h, service.url(QStringLiteral("appcast.xml")));
        updater->checkForUpdates();
        QTRY_COMPARE(h.said, QStringList{QStringLiteral("upToDate")});

        QNetworkRequest control(service.url(QStringLiteral("_control")));
        control.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
        std::unique_ptr<QNetworkReply> reply(h.session.network().post(control, R"({"version": "0.2.0"})"));
        QTRY_VERIFY(reply->isFinished());
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);

        updater->checkForUpdates();
        QTRY_COMPARE(h.said.size(), 2);
        QCOMPARE(h.said.last(), QStringLiteral("update 0.2.0 %1 user").arg(service.url(QStringLiteral("download")).toString()));
    }
};

QTEST_GUILESS_MAIN(TestUpdater)
#include "tst_updater.moc"
