// The application model against a scripted service on loopback: the refresh,
// the loop, the failure-to-phase mapping, sign-in and sign-out, preferences.
#include "app/core/AppModel.h"
#include "app/core/DesktopBrowserSession.h"
#include "app/core/presenters/PanelState.h"
#include "kit/PKCE.h"
#include "tests/support/Fakes.h"
#include "tests/support/Fixtures.h"
#include "tests/support/ScriptedService.h"

#include <QJsonDocument>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

using namespace vesko;
using namespace std::chrono_literals;

namespace {

const QString storedToken = u"tok_stored"_s;
const QDateTime t0 = QDateTime::fromSecsSinceEpoch(1772357400, Qt::UTC);

using Replies = QMap<QByteArray, ScriptedReply>;

ScriptedReply status(int code)
{
    return ScriptedReply::json(code, "{}");
}
ScriptedReply dropped()
{
    return ScriptedReply{.mode = ScriptedReply::Mode::raw};
} // closed without an answer

QJsonObject project(const QString &id, const QString &name, qint64 mrr)
{
    return QJsonObject{{u"id"_s, id}, {u"name"_s, name}, {u"color"_s, u"#2340FF"_s}, {u"mrr"_s, mrr}};
}

// An account of two projects, p1 and p2 (or of p1 alone): each answers for
// itself, "all" for both, and any other project is unknown.
void serveProjects(ScriptedService &service, bool withP2 = true)
{
    service.server.setScript([withP2](const ReceivedRequest &r) {
        const QUrlQuery query(QString::fromLatin1(r.target.mid(r.target.indexOf('?') + 1)));
        const QString scope = query.queryItemValue(u"project"_s);
        const QByteArray path = r.target.split('?').first();
        if (path == "/v1/summary") {
            QJsonObject summary = fixtures::summary();
            QJsonArray projects{project(u"p1"_s, u"Snoutly"_s, 1000000)};
            if (withP2)
                projects.append(project(u"p2"_s, u"Pawlog"_s, 234567));
            if (scope == u"p1")
                projects = {projects[0]};
            else if (scope == u"p2" && withP2)
                projects = {projects[1]};
            else if (scope != u"all")
                return ScriptedReply::json(404, "{}");
            summary[u"by_project"_s] = projects;
            summary[u"mrr"_s] = scope == u"p2" ? 234567 : scope == u"p1" ? 1000000 : 1234567;
            return ScriptedReply::json(200, fixtures::envelope(summary));
        }
        if (path == "/v1/events") {
            // Both projects' events, whatever was asked: the model keeps its own.
            QJsonObject other = fixtures::event(u"ev_2"_s);
            other[u"project"_s] = QJsonObject{{u"id"_s, u"p2"_s}, {u"name"_s, u"Pawlog"_s}};
            return ScriptedReply::json(200, fixtures::envelope(QJsonArray{fixtures::event(), other}));
        }
        if (path == "/v1/me")
            return ScriptedReply::json(200, fixtures::envelope(fixtures::me()));
        return ScriptedReply::json(r.method == "POST" ? 200 : 204, R"({"data":{"token":"tok_new"}})");
    });
}

// The project each summary and event request of the recording asked for, in order.
QStringList askedProjects(const ScriptedService &service, const QByteArray &path)
{
    QStringList asked;
    for (const ReceivedRequest &r : service.server.requests()) {
        if (r.target.split('?').first() == path)
            asked
                << QUrlQuery(QString::fromLatin1(r.target.mid(r.target.indexOf('?') + 1))).queryItemValue(u"project"_s);
    }
    return asked;
}

} // namespace

Q_DECLARE_METATYPE(ScriptedReply)
Q_DECLARE_METATYPE(Replies)
Q_DECLARE_METATYPE(vesko::SignInNotice)

class AppModelTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScriptedService> m_service;
    std::unique_ptr<HttpSession> m_http;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QSettings> m_settings;
    FakeSecretStore m_secrets;
    SlowSecretStore m_slowSecrets;
    FakeLoginItem m_login;
    FakeUrlOpener m_urls;
    FakeHostName m_host;
    FakeWake m_wake;
    FakeSleepTimer *m_timer = nullptr;
    QDateTime m_clock;
    std::unique_ptr<AppModel> m_model;

    // In the background: m_slowSecrets holds the token until its answer().
    AppModel &make(std::optional<QString> token = storedToken, bool inBackground = false)
    {
        m_secrets.stored = m_slowSecrets.stored = std::move(token);
        auto timer = std::make_unique<FakeSleepTimer>();
        m_timer = timer.get();
        m_model = std::make_unique<AppModel>(
            AppModel::Environment{.config = VeskoConfig(QUrl(QString::fromLatin1(m_service->server.origin())),
                                                        QUrl(u"https://web.example/base"_s)),
                                  .secrets = inBackground ? static_cast<SecretStore &>(m_slowSecrets) : m_secrets,
                                  .http = *m_http,
                                  .settings = *m_settings,
                                  .loginItem = m_login,
                                  .urls = m_urls,
                                  .hostName = m_host,
                                  .browserSessions = [] { return std::make_unique<FakeBrowserSession>(); },
                                  .loopTimer = std::move(timer),
                                  .wake = &m_wake,
                                  .now = [this] { return m_clock; },
                                  .tokenInBackground = inBackground});
        return *m_model;
    }
    // Waits until every request sent so far was answered and the model settled.
    void settle()
    {
        QTest::qWait(30);
        QTRY_VERIFY_WITH_TIMEOUT(m_model->findChildren<Refresh *>().isEmpty(), 5000);
        QTest::qWait(10);
    }
    FakeBrowserSession *browser()
    {
        return FakeBrowserSession::all.isEmpty() ? nullptr : FakeBrowserSession::all.last().data();
    }

private slots:
    void init()
    {
        m_model.reset();
        m_service = std::make_unique<ScriptedService>();
        m_http = std::make_unique<HttpSession>(
            HttpSession::Limits{.idleTimeout = 300ms, .deadline = 2s, .maxBodyBytes = 1 << 20});
        m_dir = std::make_unique<QTemporaryDir>();
        m_settings = std::make_unique<QSettings>(m_dir->filePath(u"vesko.conf"_s), QSettings::IniFormat);
        m_secrets = {};
        m_slowSecrets = {};
        m_login = {};
        m_urls.opened.clear();
        m_clock = t0;
        FakeBrowserSession::all.clear();
    }
    void cleanup() { m_model.reset(); }

    void noTokenMeansNoRequests()
    {
        AppModel &model = make(std::nullopt);
        QCOMPARE(model.phase(), Phase::signedOut());
        QVERIFY(!model.isLooping());
        QVERIFY(!model.refresh());
        QTest::qWait(50);
        QVERIFY(m_service->server.requests().isEmpty());
    }

    void storedTokenLoadsAtOnce()
    {
        AppModel &model = make();
        QCOMPARE(model.phase(), Phase::loading());
        QVERIFY(model.isLooping());
        settle();
        QCOMPARE(model.phase(), Phase::ready());
        QCOMPARE(model.summary()->mrr(), 1234567);
        QCOMPARE(model.events().size(), 1);
        QCOMPARE(model.me()->name(), u"Ada"_s);
        QCOMPARE(model.refreshedAt(), t0);
        QStringList targets;
        for (const ReceivedRequest &r : m_service->server.requests())
            targets << QString::fromLatin1(r.target);
        targets.sort();
        QCOMPARE(targets,
                 (QStringList{u"/v1/events?project=all&limit=5"_s, u"/v1/me"_s, u"/v1/summary?project=all"_s}));
        QVERIFY(m_timer->armed); // the next turn waits one interval after this one
    }

    // Read in the background, the token leaves the model loading until the
    // keyring answers; a sign-out or sign-in begun meanwhile is not undone by
    // what the keyring read before it.
    void tokenReadInBackground_data()
    {
        QTest::addColumn<bool>("stored");
        QTest::addColumn<QString>("meanwhile"); // "", "signOut" or "signIn"
        QTest::addColumn<QString>("phase");     // once the keyring answered: "loading", "signedOut", "signingIn"
        QTest::addColumn<bool>("signedIn");
        QTest::newRow("token") << true << ""
                               << "loading" << true;
        QTest::newRow("none") << false << ""
                              << "signedOut" << false;
        QTest::newRow("signed out meanwhile") << true << "signOut"
                                              << "signedOut" << false;
        QTest::newRow("signing in meanwhile, none") << false << "signIn"
                                                    << "signingIn" << false;
    }
    void tokenReadInBackground()
    {
        QFETCH(bool, stored);
        QFETCH(QString, meanwhile);
        QFETCH(QString, phase);
        QFETCH(bool, signedIn);
        const QHash<QString, Phase> phases{{u"loading"_s, Phase::loading()},
                                           {u"signedOut"_s, Phase::signedOut()},
                                           {u"signingIn"_s, Phase::signingIn()}};
        AppModel &model = make(stored ? std::optional(storedToken) : std::nullopt, true);
        QCOMPARE(model.phase(), Phase::loading());
        QVERIFY(model.isTokenPending() && !model.isSignedIn() && !model.isLooping());
        QSignalSpy settled(&model, &AppModel::tokenSettled);
        if (meanwhile == u"signOut")
            model.signOut();
        else if (meanwhile == u"signIn")
            model.signIn();
        m_slowSecrets.answer();
        QVERIFY(!model.isTokenPending());
        QCOMPARE(settled.size(), 1);
        QCOMPARE(model.phase(), phases.value(phase));
        QCOMPARE(model.isSignedIn(), signedIn);
        QCOMPARE(model.isLooping(), signedIn);
        settle();
        QCOMPARE(model.phase(), signedIn ? Phase::ready() : phases.value(phase));
    }

    // Which failure counts, and what the user then sees.
    void failures_data()
    {
        QTest::addColumn<bool>("hadSummary");
        QTest::addColumn<Replies>("replies");
        QTest::addColumn<QString>("phase"); // "ready", "signedOut" or the failure message
        QTest::addColumn<bool>("cleared");
        using R = Replies;
        const QString load = Phase::loadFailedMessage(), offline = Phase::offlineMessage();
        QTest::newRow("events 500") << false << R{{"/v1/events", status(500)}} << load << false;
        QTest::newRow("me undecodable") << false << R{{"/v1/me", ScriptedReply::json(200, "{}")}} << load << false;
        QTest::newRow("summary offline") << false << R{{"/v1/summary", dropped()}} << offline << false;
        QTest::newRow("summary offline, events 401")
            << false << R{{"/v1/summary", dropped()}, {"/v1/events", status(401)}} << offline << false;
        QTest::newRow("summary 500, events 401")
            << false << R{{"/v1/summary", status(500)}, {"/v1/events", status(401)}} << load << false;
        QTest::newRow("me 401") << false << R{{"/v1/me", status(401)}} << "signedOut" << true;
        QTest::newRow("offline after good data") << true << R{{"/v1/summary", dropped()}} << "ready" << false;
        QTest::newRow("500 after good data") << true << R{{"/v1/events", status(500)}} << "ready" << false;
        QTest::newRow("401 after good data") << true << R{{"/v1/summary", status(401)}} << "signedOut" << true;
    }
    void failures()
    {
        QFETCH(bool, hadSummary);
        QFETCH(Replies, replies);
        QFETCH(QString, phase);
        QFETCH(bool, cleared);
        AppModel &model = make();
        if (hadSummary) {
            settle();
            QCOMPARE(model.phase(), Phase::ready());
            m_clock = t0.addSecs(60);
        } else {
            m_service->replies = replies;
            settle();
        }
        if (hadSummary) {
            m_service->replies = replies;
            model.refresh();
            settle();
        }
        const Phase expected = phase == u"ready"_s       ? Phase::ready()
                               : phase == u"signedOut"_s ? Phase::signedOut()
                                                         : Phase::failed(phase);
        QCOMPARE(model.phase(), expected);
        QCOMPARE(!model.token(), cleared);
        QCOMPARE(!m_secrets.stored, cleared);
        QCOMPARE(model.isLooping(), !cleared);
        // Data is only ever published whole, and a failure never rewinds the refresh time.
        QCOMPARE(model.summary().has_value(), hadSummary && !cleared);
        QCOMPARE(model.me().has_value(), hadSummary && !cleared);
        QCOMPARE(model.refreshedAt(), hadSummary ? t0 : QDateTime());
    }

    void equalDataNotifiesOnlyTheTime()
    {
        AppModel &model = make();
        settle();
        QSignalSpy summary(&model, &AppModel::summaryChanged), events(&model, &AppModel::eventsChanged),
            me(&model, &AppModel::meChanged), phase(&model, &AppModel::phaseChanged),
            time(&model, &AppModel::refreshedAtChanged), text(&model, &AppModel::trayLabelChanged);
        model.refresh(); // same data, same clock: nobody hears of it
        settle();
        QCOMPARE(time.size(), 0);
        m_clock = t0.addSecs(60);
        model.refresh();
        settle();
        QCOMPARE(time.size(), 1);
        QCOMPARE(summary.size() + events.size() + me.size() + phase.size() + text.size(), 0);
    }

    void oneLoopAtATime()
    {
        AppModel &model = make();
        model.startLoop(); // replaces the loop the constructor started
        model.startLoop();
        settle();
        QCOMPARE(model.phase(), Phase::ready());
        const int before = m_service->count("/v1/summary");
        m_timer->fire();
        settle();
        QCOMPARE(m_service->count("/v1/summary"), before + 1);
        QVERIFY(m_timer->armed);
        model.clearSession();
        QVERIFY(!m_timer->armed);
        QVERIFY(!model.isLooping());
    }

    void wakeRefreshesOnceAndKeepsTheSchedule()
    {
        AppModel &model = make();
        settle();
        const int starts = m_timer->starts;
        const int before = m_service->count("/v1/me");
        m_wake.wake();
        settle();
        QCOMPARE(m_service->count("/v1/me"), before + 1);
        QCOMPARE(m_timer->starts, starts);
        QCOMPARE(model.phase(), Phase::ready());
    }

    void staleRefreshPublishesNothing()
    {
        // A wake refresh still on its way when the user signs out: its answer is not shown.
        m_service->replies["/v1/summary"] = ScriptedReply{.status = 200,
                                                          .body = fixtures::envelope(fixtures::summary()),
                                                          .mode = ScriptedReply::Mode::trickle,
                                                          .trickleIntervalMs = 1};
        AppModel &model = make();
        m_wake.wake();
        QTest::qWait(20);
        model.signOut();
        QVERIFY(!model.findChildren<Refresh *>().isEmpty());
        settle();
        QCOMPARE(model.phase(), Phase::signedOut());
        QVERIFY(!model.summary());
    }

    void refreshOfAnOldTokenPublishesNothing()
    {
        // The old token's summary drips in slowly; the new token's fails fast.
        m_service->server.setScript([](const ReceivedRequest &r) {
            const QByteArray path = r.target.split('?').first();
            if (r.method == "POST")
                return ScriptedReply::json(200, R"({"data":{"token":"tok_new"}})");
            if (path == "/v1/summary" && r.headers.value("authorization") == "Bearer tok_stored")
                return ScriptedReply{.status = 200,
                                     .body = fixtures::envelope(fixtures::summary()),
                                     .mode = ScriptedReply::Mode::trickle,
                                     .trickleIntervalMs = 1};
            if (path == "/v1/summary")
                return status(500);
            return ScriptedReply::json(200, path == "/v1/me" ? fixtures::envelope(fixtures::me())
                                                             : fixtures::envelope(QJsonArray{}));
        });
        AppModel &model = make();
        m_wake.wake();
        model.signOut();
        model.signIn();
        QVERIFY(model.handleCallback(QUrl(u"vesko://callback?code=abc"_s)));
        QTRY_COMPARE(model.token(), QString(u"tok_new"_s));
        settle();
        QCOMPARE(model.phase(), Phase::failed(Phase::loadFailedMessage()));
        QVERIFY(!model.summary());
    }

    void cancelledRefreshShowsNoFailure()
    {
        // The panel's refresh, cancelled when the panel hides, before any figures came.
        m_service->replies["/v1/summary"] = ScriptedReply{.mode = ScriptedReply::Mode::stall};
        AppModel &model = make();
        QPointer<Refresh> shown = model.refresh();
        QTest::qWait(20);
        shown->cancel();
        QTest::qWait(60); // its requests end as offline meanwhile
        QCOMPARE(model.phase(), Phase::loading());
    }

    void signIn_data()
    {
        QTest::addColumn<QString>("callback"); // empty: the user gave up
        QTest::addColumn<int>("exchangeStatus");
        QTest::addColumn<QString>("sentCode"); // empty: no exchange
        QTest::addColumn<QString>("phase");
        QTest::newRow("code") << "vesko://anything?state=x&code=abc" << 200 << "abc"
                              << "loading";
        QTest::newRow("encoded code") << "vesko://callback?code=a%2Bb%20c" << 200 << "a+b c"
                                      << "loading";
        QTest::newRow("empty code is a code") << "vesko://callback?code=" << 200 << "<empty>"
                                              << "loading";
        QTest::newRow("first code wins") << "vesko://callback?code=1&code=2" << 200 << "1"
                                         << "loading";
        QTest::newRow("no code") << "vesko://callback" << 200 << "" << Phase::signInFailedMessage();
        QTest::newRow("code without value") << "vesko://callback?code" << 200 << "" << Phase::signInFailedMessage();
        QTest::newRow("Code is not code") << "vesko://callback?Code=abc" << 200 << "" << Phase::signInFailedMessage();
        QTest::newRow("exchange refused")
            << "vesko://callback?code=abc" << 400 << "abc" << Phase::signInFailedMessage();
        QTest::newRow("exchange 401") << "vesko://callback?code=abc" << 401 << "abc" << Phase::signInFailedMessage();
        QTest::newRow("given up") << "" << 200 << ""
                                  << "signedOut";
    }
    void signIn()
    {
        QFETCH(QString, callback);
        QFETCH(int, exchangeStatus);
        QFETCH(QString, sentCode);
        QFETCH(QString, phase);
        if (exchangeStatus != 200)
            m_service->replies["/v1/app-auth/token"] = status(exchangeStatus);
        AppModel &model = make(std::nullopt);
        int signedIn = 0;
        bool loopWasRunning = false;
        model.onSignedIn = [&] { ++signedIn, loopWasRunning = model.isLooping(); };

        model.signIn();
        QCOMPARE(model.phase(), Phase::signingIn());
        QVERIFY(model.isSignInPending());
        const QUrlQuery connect(browser()->started);
        QCOMPARE(browser()->started.path(), u"/base/connect-app"_s);
        QCOMPARE(connect.queryItemValue(u"platform"_s), u"linux"_s);
        QCOMPARE(connect.queryItemValue(u"name"_s, QUrl::FullyDecoded), u"Ada's Laptop"_s);
        const QString challenge = connect.queryItemValue(u"challenge"_s);

        if (callback.isEmpty())
            model.cancelSignIn();
        else
            QVERIFY(model.handleCallback(QUrl(callback)));
        QVERIFY(!model.isSignInPending());
        QVERIFY(!model.handleCallback(QUrl(callback))); // once only
        QTest::qWait(100);

        const QList<ReceivedRequest> exchanges = [&] {
            QList<ReceivedRequest> list;
            for (const ReceivedRequest &r : m_service->server.requests())
                if (r.method == "POST" && r.target == "/v1/app-auth/token")
                    list.append(r);
            return list;
        }();
        QCOMPARE(exchanges.size(), sentCode.isEmpty() ? 0 : 1);
        if (!sentCode.isEmpty()) {
            const QJsonObject body = QJsonDocument::fromJson(exchanges.first().body).object();
            QCOMPARE(body.value(u"code"_s).toString(), sentCode == u"<empty>"_s ? QString() : sentCode);
            // The verifier of this attempt: the one whose challenge went to the browser.
            QCOMPARE(PKCE(body.value(u"code_verifier"_s).toString()).challenge(), challenge);
        }
        const bool success = phase == u"loading"_s;
        if (success) {
            QCOMPARE(m_secrets.stored, QString(u"tok_new"_s));
            QCOMPARE(model.token(), QString(u"tok_new"_s));
            QCOMPARE(signedIn, 1);
            QVERIFY(loopWasRunning);
            settle();
            QCOMPARE(model.phase(), Phase::ready());
            return;
        }
        QCOMPARE(model.phase(), phase == u"signedOut"_s ? Phase::signedOut() : Phase::failed(phase));
        QVERIFY(!model.token());
        QCOMPARE(m_secrets.saves, 0);
        QCOMPARE(signedIn, 0);
    }

    void strayCallbacksAreIgnored()
    {
        AppModel &model = make(std::nullopt);
        QVERIFY(!model.handleCallback(QUrl(u"vesko://callback?code=abc"_s)));
        model.signIn();
        QPointer<FakeBrowserSession> first = browser();
        model.signIn(); // a second attempt replaces the first, which is dropped
        QTRY_VERIFY(!first);
        QVERIFY(model.handleCallback(QUrl(u"vesko://callback?code=abc"_s)));
        QTest::qWait(100);
        QCOMPARE(model.token(), QString(u"tok_new"_s));
        QCOMPARE(m_service->count("/v1/app-auth/token"), 1);
    }

    void expiredSignInEndsQuietly()
    {
        FakeUrlOpener opener;
        DesktopBrowserSession session(opener, 30ms);
        QSignalSpy finished(&session, &BrowserSession::finished);
        session.start(QUrl(u"http://127.0.0.1:1/connect-app"_s));
        QCOMPARE(opener.opened.size(), 1);
        QVERIFY(finished.wait(1000));
        QCOMPARE(finished.first().at(1).toBool(), true);
        QVERIFY(!session.receive(QUrl(u"vesko://callback?code=late"_s)));
        QCOMPARE(finished.size(), 1);
    }

    // The figures of one project: asked for by its id, kept across starts,
    // and the account's projects still known from the unscoped summary.
    void projectScope()
    {
        serveProjects(*m_service);
        AppModel &model = make();
        settle();
        QCOMPARE(model.projectScope(), u"all"_s);
        QCOMPARE(model.projects().size(), 2);
        QCOMPARE(model.events().size(), 2);

        QSignalSpy scopes(&model, &AppModel::projectScopeChanged);
        model.setProjectScope(u"p2"_s);
        QCOMPARE(scopes.size(), 1);
        // Nothing of the whole account stands under the project's name meanwhile.
        QVERIFY(!model.summary());
        QCOMPARE(model.phase(), Phase::loading());
        settle();
        QCOMPARE(model.phase(), Phase::ready());
        QCOMPARE(model.summary()->mrr(), 234567);
        QCOMPARE(model.projects().size(), 2);
        QCOMPARE(model.events().size(), 1);
        QCOMPARE(model.events().first().project().id(), u"p2"_s);
        QCOMPARE(askedProjects(*m_service, "/v1/summary"), (QStringList{u"all"_s, u"p2"_s, u"all"_s}));
        QCOMPARE(askedProjects(*m_service, "/v1/events"), (QStringList{u"all"_s, u"p2"_s}));
        model.setProjectScope(u"p2"_s);
        QCOMPARE(scopes.size(), 1);

        m_model.reset();
        AppModel &again = make();
        QCOMPARE(again.projectScope(), u"p2"_s);
        settle();
        QCOMPARE(again.summary()->mrr(), 234567);
    }

    // A project the account no longer has falls back to all of them, whether
    // the service refuses it or only leaves it out; so does a sign-out.
    void scopeFallsBack_data()
    {
        QTest::addColumn<bool>("refused");
        QTest::newRow("unknown to the service") << true;
        QTest::newRow("left out of the account's projects") << false;
    }
    void scopeFallsBack()
    {
        QFETCH(bool, refused);
        serveProjects(*m_service, false);
        if (!refused) {
            // p2 still answers for itself, but the account no longer lists it.
            const auto script = m_service->server.script();
            m_service->server.setScript([script](const ReceivedRequest &r) {
                if (r.target.startsWith("/v1/summary?project=p2")) {
                    QJsonObject summary = fixtures::summary();
                    summary[u"by_project"_s] = QJsonArray{project(u"p2"_s, u"Pawlog"_s, 1)};
                    return ScriptedReply::json(200, fixtures::envelope(summary));
                }
                return script(r);
            });
        }
        m_settings->setValue(u"VeskoProject"_s, u"p2"_s);
        AppModel &model = make();
        settle();
        QCOMPARE(model.projectScope(), u"all"_s);
        QVERIFY(!m_settings->contains(u"VeskoProject"_s));
        QCOMPARE(model.phase(), Phase::ready());
        QCOMPARE(model.summary()->mrr(), 1234567);

        serveProjects(*m_service);
        model.setProjectScope(u"p1"_s);
        settle();
        QCOMPARE(model.summary()->mrr(), 1000000);
        model.signOut();
        QCOMPARE(model.projectScope(), u"all"_s);
        QVERIFY(model.projects().isEmpty());
        QVERIFY(!m_settings->contains(u"VeskoProject"_s));
    }

    // A refresh of the scope that was must not publish under the new one.
    void refreshOfTheOldScopePublishesNothing()
    {
        serveProjects(*m_service);
        AppModel &model = make();
        settle();
        const QPointer<Refresh> old = model.refresh();
        model.setProjectScope(u"p1"_s);
        settle();
        QVERIFY(!old);
        QCOMPARE(model.summary()->mrr(), 1000000);
    }

    void signOutRevokesAndClearsAtOnce()
    {
        AppModel &model = make();
        settle();
        model.signOut();
        QCOMPARE(model.phase(), Phase::signedOut());
        QVERIFY(!model.summary() && model.events().isEmpty() && !model.me());
        QVERIFY(!m_secrets.stored);
        QCOMPARE(model.refreshedAt(), t0);
        QTRY_COMPARE(m_service->count("/v1/app-auth/token"), 1);
        const ReceivedRequest &revoke = m_service->server.requests().last();
        QCOMPARE(revoke.method, QByteArray("DELETE"));
        QCOMPARE(revoke.headers.value("authorization"), "Bearer " + storedToken.toUtf8());
    }

    // An exchange overtaken by a new sign-in or a sign-out never signs in;
    // the token it still gets is revoked, not left live at the service.
    void abandonedExchangeIsRevoked_data()
    {
        QTest::addColumn<bool>("signOut");
        QTest::newRow("signed in again") << false;
        QTest::newRow("signed out") << true;
    }
    void abandonedExchangeIsRevoked()
    {
        QFETCH(bool, signOut);
        m_service->token = R"({"data":{"token":"tok_abandoned"}})";
        AppModel &model = make(std::nullopt);
        model.signIn();
        QVERIFY(model.handleCallback(QUrl(u"vesko://callback?code=first"_s)));
        signOut ? model.signOut() : model.signIn();
        const auto &requests = m_service->server.requests();
        QTRY_COMPARE(std::count_if(requests.begin(), requests.end(),
                                   [](const ReceivedRequest &r) {
                                       return r.method == "DELETE"
                                              && r.headers.value("authorization") == "Bearer tok_abandoned";
                                   }),
                     1);
        QVERIFY(!model.token());
        QCOMPARE(m_secrets.saves, 0);
        QCOMPARE(model.phase(), signOut ? Phase::signedOut() : Phase::signingIn());
    }

    // A sign-in nobody answered in time, and an approval after that, are told
    // in the sign-in block (a late code is never exchanged); a cancel is not.
    void expiryIsTold_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<SignInNotice>("notice");
        QTest::newRow("cancelled") << QStringList{u"cancel"_s} << SignInNotice::none;
        QTest::newRow("expired") << QStringList{u"expire"_s} << SignInNotice::expired;
        QTest::newRow("approved late") << QStringList{u"expire"_s, u"vesko://callback?code=late"_s}
                                       << SignInNotice::lateApproval;
        QTest::newRow("denied late") << QStringList{u"expire"_s, u"vesko://callback?error=denied"_s}
                                     << SignInNotice::expired;
        QTest::newRow("approved after a cancel")
            << QStringList{u"cancel"_s, u"vesko://callback?code=late"_s} << SignInNotice::none;
    }
    void expiryIsTold()
    {
        QFETCH(QStringList, steps);
        QFETCH(SignInNotice, notice);
        AppModel &model = make(std::nullopt);
        model.signIn();
        for (const QString &step : steps) {
            if (step == u"cancel")
                model.cancelSignIn();
            else if (step == u"expire")
                browser()->end(std::nullopt, true);
            else
                QVERIFY(!model.handleCallback(QUrl(step)));
        }
        QCOMPARE(model.signInNotice(), notice);
        const QString plain = panelState(Phase::signedOut(), {}, {}, false).signIn.sentence;
        QCOMPARE(panelState(model.phase(), {}, {}, false, notice).signIn.sentence != plain,
                 notice != SignInNotice::none);
        model.signIn();
        QCOMPARE(model.signInNotice(), SignInNotice::none);
        QTest::qWait(50);
        QCOMPARE(m_service->count("/v1/app-auth/token"), 0);
    }

    void trayLabel_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("withSummary");
        QTest::addColumn<bool>("hide");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("snout");
        QTest::addColumn<QString>("spoken");
        const QString spoken = u"Vesko, MRR $12.3K"_s;
        QTest::newRow("nothing stored") << "" << true << false << "$12.3K" << true << spoken;
        QTest::newRow("both") << "both" << true << false << "$12.3K" << true << spoken;
        QTest::newRow("amount") << "amount" << true << false << "$12.3K" << false << spoken;
        QTest::newRow("amount, no summary") << "amount" << false << false << "" << true << "Vesko";
        QTest::newRow("snout") << "snout" << true << false << "" << true << spoken;
        QTest::newRow("wrong case") << "Amount" << true << false << "$12.3K" << true << spoken;
        // Said as a word, not as its bullets.
        QTest::newRow("amount hidden") << "amount" << true << true << "$\u2022\u2022\u2022" << false
                                       << "Vesko, MRR hidden";
        QTest::newRow("hidden, no summary") << "amount" << false << true << "" << true << "Vesko";
    }
    void trayLabel()
    {
        QFETCH(QString, stored);
        QFETCH(bool, withSummary);
        QFETCH(bool, hide);
        QFETCH(QString, text);
        QFETCH(bool, snout);
        QFETCH(QString, spoken);
        if (!stored.isEmpty())
            m_settings->setValue("VeskoMenuBarStyle", stored);
        AppModel &model = make(withSummary ? std::optional(storedToken) : std::nullopt);
        settle();
        model.setHideAmounts(hide);
        QCOMPARE(model.trayLabelOrEmpty(), text);
        QCOMPARE(model.showsSnout(), snout);
        QCOMPARE(model.spokenLabel(), spoken);
    }

    void trayStyleIsStored()
    {
        AppModel &model = make();
        settle();
        QSignalSpy style(&model, &AppModel::trayStyleChanged), text(&model, &AppModel::trayLabelChanged),
            snout(&model, &AppModel::showsSnoutChanged), spoken(&model, &AppModel::spokenLabelChanged);
        model.setTrayStyle(TrayStyle::both); // the current one: silent
        QCOMPARE(style.size(), 0);
        model.setTrayStyle(TrayStyle::amount);
        QCOMPARE(style.size(), 1);
        QCOMPARE(snout.size(), 1);
        QCOMPARE(text.size(), 0);
        model.setTrayStyle(TrayStyle::snout);
        QCOMPARE(text.size(), 1);
        QCOMPARE(spoken.size(), 0); // spoken whatever the style
        QCOMPARE(m_settings->value(u"VeskoMenuBarStyle"_s).toString(), u"snout"_s);
        m_model.reset();
        QCOMPARE(make().trayStyle(), TrayStyle::snout);
    }

    void accountActions()
    {
        AppModel &model = make(std::nullopt);
        model.openDashboard();
        model.openSettings();
        QCOMPARE(m_urls.opened, (QList<QUrl>{QUrl(u"https://web.example/base/app"_s),
                                             QUrl(u"https://web.example/base/app/settings"_s)}));
        model.setOpenAtLogin(true);
        QVERIFY(model.openAtLogin());
        m_login.refuses = true;
        model.setOpenAtLogin(false);
        QVERIFY(model.openAtLogin()); // whatever the system says
    }
};

QTEST_GUILESS_MAIN(AppModelTest)
#include "tst_appmodel.moc"
