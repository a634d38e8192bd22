#include "kit/Me.h"
#include "kit/PKCE.h"
#include "kit/Summary.h"
#include "kit/VeskoEvent.h"
#include "tests/support/ServiceFixture.h"

#include <QJsonArray>
#include <QSet>

#include <numeric>

using namespace Qt::StringLiterals;

using namespace vesko;

enum class Attempt {
    wrongVerifier,
    shortVerifier,
    missingVerifier,
    unknownCode,
    reusedCode,
    retryAfterWrong,
    expiredCode
};
Q_DECLARE_METATYPE(Attempt)

// Sign-in, the reads and the demo figures, as the app meets them.
class DevServiceTest : public QObject, private ServiceFixture
{
    Q_OBJECT

private slots:
    void init() { restart(); }

    void signIn()
    {
        const PKCE pkce;
        const QUrlQuery query{{u"challenge"_s, pkce.challenge()}, {u"name"_s, u"Dana's <b>\"PC\"</b> & co"_s}};
        const Wire page = call("GET", u"connect-app?"_s + query.toString(QUrl::FullyEncoded));
        // The name is echoed into element content and attribute values alike.
        QVERIFY(page.body.contains("Dana&#39;s &lt;b&gt;&quot;PC&quot;&lt;/b&gt; &amp; co wants"));
        QVERIFY(!page.body.contains("<b>") && !page.body.contains("\"PC\""));

        const QJsonObject fields{{u"code"_s, approve(pkce.challenge())}, {u"code_verifier"_s, pkce.verifier()}};
        const QByteArray auth = "Bearer "
                                + call("POST", tokenPath, QJsonDocument(fields).toJson())
                                      .json()[u"data"_s][u"token"_s]
                                      .toString()
                                      .toLatin1();
        QVERIFY(decoded<Summary>(call("GET", summaryPath, {}, auth).body));
        QCOMPARE(
            decoded<QList<VeskoEvent>>(call("GET", eventsPath, {}, auth).body).value_or(QList<VeskoEvent>()).size(), 5);
        QVERIFY(decoded<Me>(call("GET", mePath, {}, auth).body));
        QCOMPARE(call("DELETE", tokenPath, {}, auth).status(), 204);
        // A revoked token works nowhere, and a live one only as Bearer.
        QCOMPARE(call("GET", summaryPath, {}, auth).status(), 401);
        QCOMPARE(call("DELETE", tokenPath, {}, auth).status(), 401);
        QCOMPARE(call("POST", u"v1/devices"_s, {}, auth).status(), 401);
        QCOMPARE(call("GET", mePath, {}, "Basic " + bearer().mid(7)).status(), 401);
    }

    void refusedExchange_data()
    {
        QTest::addColumn<Attempt>("attempt");
        QTest::addColumn<QString>("error");
        QTest::newRow("wrong verifier") << Attempt::wrongVerifier << "invalid_grant";
        QTest::newRow("verifier shorter than RFC 7636 allows") << Attempt::shortVerifier << "invalid_grant";
        QTest::newRow("missing verifier") << Attempt::missingVerifier << "invalid_request";
        QTest::newRow("unknown code") << Attempt::unknownCode << "invalid_grant";
        QTest::newRow("reused code") << Attempt::reusedCode << "invalid_grant";
        QTest::newRow("right verifier after a wrong one") << Attempt::retryAfterWrong << "invalid_grant";
        QTest::newRow("expired code") << Attempt::expiredCode << "invalid_grant";
    }
    void refusedExchange()
    {
        QFETCH(Attempt, attempt);
        QFETCH(QString, error);
        const PKCE pkce = attempt == Attempt::shortVerifier ? PKCE(u"short"_s) : PKCE();
        QJsonObject body{{u"code"_s, approve(pkce.challenge())}, {u"code_verifier"_s, pkce.verifier()}};
        auto exchange = [&](const QJsonObject &fields) {
            return call("POST", tokenPath, QJsonDocument(fields).toJson());
        };
        QByteArray earlier;
        switch (attempt) {
        case Attempt::wrongVerifier:
            body[u"code_verifier"_s] = PKCE().verifier();
            break;
        case Attempt::missingVerifier:
            body.remove(u"code_verifier"_s);
            break;
        case Attempt::unknownCode:
            body[u"code"_s] = PKCE().verifier();
            break;
        case Attempt::reusedCode:
            earlier = "Bearer " + exchange(body).json()[u"data"_s][u"token"_s].toString().toLatin1();
            break;
        case Attempt::retryAfterWrong:
            exchange({{u"code"_s, body[u"code"_s]}, {u"code_verifier"_s, PKCE().verifier()}});
            break;
        case Attempt::expiredCode:
            control(jsonText("{'advance_seconds':301}"));
            break;
        case Attempt::shortVerifier:
            break;
        }
        const Wire result = exchange(body);
        QCOMPARE(result.status(), 400);
        QCOMPARE(result.json()[u"error"_s].toString(), error);
        // A replayed code withdraws the token it gave out.
        if (!earlier.isEmpty())
            QCOMPARE(call("GET", mePath, {}, earlier).status(), 401);
    }

    void figuresAddUp_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QString>("currency");
        QTest::newRow("default") << QStringList() << QByteArray("{}") << "USD";
        QTest::newRow("lower-case code on the command line")
            << QStringList{u"--currency"_s, u"jpy"_s} << QByteArray("{}") << u"JPY"_s;
        QTest::newRow("switched while running")
            << QStringList{u"--currency"_s, u"EUR"_s} << jsonText("{'currency':'GBP'}") << u"GBP"_s;
    }
    void figuresAddUp()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, settings);
        QFETCH(QString, currency);
        restart(arguments);
        QCOMPARE(control(settings).status(), 200);
        const QByteArray auth = bearer();
        const std::optional<Summary> summary = decoded<Summary>(call("GET", summaryPath, {}, auth).body);
        QVERIFY(summary);
        const auto total = [](const auto &list) {
            return std::accumulate(list.begin(), list.end(), qint64(0),
                                   [](qint64 sum, const auto &entry) { return sum + entry.mrr(); });
        };
        QVERIFY(summary->mrr() > 0 && summary->byProject().size() > 1);
        QCOMPARE(total(summary->byChannel()), summary->mrr());
        QCOMPARE(total(summary->byProject()), summary->mrr());
        QCOMPARE(summary->arr(), 12 * summary->mrr());
        QCOMPARE(summary->currency(), currency);
        for (const QJsonValue event : call("GET", eventsPath, {}, auth).json()[u"data"_s].toArray())
            QCOMPARE(event[u"currency"_s].toString(), currency);
        QCOMPARE(call("GET", mePath, {}, auth).json()[u"data"_s][u"currency"_s].toString(), currency);
    }

    // Each project's summary is its share of the whole, and a project the
    // account has closed is gone from every answer.
    void projectsAreScoped()
    {
        restart();
        const QByteArray auth = bearer();
        const std::optional<Summary> all = decoded<Summary>(call("GET", summaryPath, {}, auth).body);
        QVERIFY(all);
        QCOMPARE(all->byProject().size(), 3);
        QSet<QString> colours;
        qint64 sum = 0;
        for (const ProjectAmount &project : all->byProject()) {
            const std::optional<Summary> one =
                decoded<Summary>(call("GET", u"v1/summary?project="_s + project.id(), {}, auth).body);
            QVERIFY(one);
            QCOMPARE(one->mrr(), project.mrr());
            QCOMPARE(one->byProject().size(), 1);
            sum += one->mrr();
            colours.insert(project.color());
            const QJsonArray events =
                call("GET", u"v1/events?project=%1&limit=5"_s.arg(project.id()), {}, auth).json()[u"data"_s].toArray();
            QVERIFY(!events.isEmpty());
            for (const QJsonValue event : events)
                QCOMPARE(event[u"project"_s][u"id"_s].toString(), project.id());
        }
        QCOMPARE(sum, all->mrr());
        QCOMPARE(colours.size(), 3);

        QCOMPARE(control(jsonText("{'closed_projects':['prj_2']}")).status(), 200);
        QCOMPARE(call("GET", u"v1/summary?project=prj_2"_s, {}, auth).status(), 404);
        const std::optional<Summary> after = decoded<Summary>(call("GET", summaryPath, {}, auth).body);
        QVERIFY(after);
        QCOMPARE(after->byProject().size(), 2);
        for (const QJsonValue event :
             call("GET", u"v1/events?project=all&limit=20"_s, {}, auth).json()[u"data"_s].toArray())
            QVERIFY(event[u"project"_s][u"id"_s].toString() != u"prj_2");
        QCOMPARE(control(jsonText("{'closed_projects':'prj_2'}")).status(), 400);
    }

    // Any web page in the user's browser, and any local user, can reach the
    // port: a foreign Origin is turned away everywhere, and /_control wants
    // the secret the service was started with. A refused call changes nothing.
    void guards_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("headers"); // "<secret>", "<bearer>" and "<own>" (our origin) filled in
        QTest::addColumn<int>("status");
        const QByteArray secret = "Vesko-Control-Secret: <secret>\r\n";
        const QByteArray foreign = "Origin: http://evil.example\r\n";
        QTest::newRow("control, no secret") << QByteArray("POST") << "_control" << QByteArray() << 403;
        QTest::newRow("control, an empty secret")
            << QByteArray("POST") << "_control" << QByteArray("Vesko-Control-Secret: \r\n") << 403;
        QTest::newRow("control, a wrong secret")
            << QByteArray("POST") << "_control" << QByteArray("Vesko-Control-Secret: <wrong>\r\n") << 403;
        QTest::newRow("control, part of the secret")
            << QByteArray("POST") << "_control" << QByteArray("Vesko-Control-Secret: <part>\r\n") << 403;
        QTest::newRow("control, the secret") << QByteArray("POST") << "_control" << secret << 200;
        QTest::newRow("control, the secret in a bearer")
            << QByteArray("POST") << "_control" << QByteArray("Authorization: Bearer <secret>\r\n") << 403;
        QTest::newRow("control, the secret, from another site")
            << QByteArray("POST") << "_control" << secret + foreign << 403;
        QTest::newRow("control, the secret, from our page")
            << QByteArray("POST") << "_control" << secret + "Origin: <own>\r\n"
            << 200;
        QTest::newRow("API from another site") << QByteArray("GET") << mePath << "<bearer>" + foreign << 403;
        QTest::newRow("API from a sandboxed page")
            << QByteArray("GET") << mePath << QByteArray("<bearer>Origin: null\r\n") << 403;
        QTest::newRow("preflight from another site")
            << QByteArray("OPTIONS") << mePath << foreign + "Access-Control-Request-Method: GET\r\n"
            << 403;
        QTest::newRow("API from our page")
            << QByteArray("GET") << mePath << QByteArray("<bearer>Origin: <own>\r\n") << 200;
        QTest::newRow("API, no origin") << QByteArray("GET") << mePath << QByteArray("<bearer>") << 200;
    }
    void guards()
    {
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(QByteArray, headers);
        QFETCH(int, status);
        const QByteArray secret = DevServiceProcess::controlSecret();
        headers.replace("<bearer>", "Authorization: " + bearer() + "\r\n")
            .replace("<own>", "http://127.0.0.1:" + QByteArray::number(m_service->port()))
            .replace("<secret>", secret)
            .replace("<wrong>", secret.chopped(1) + (secret.endsWith('A') ? "B" : "A"))
            .replace("<part>", secret.chopped(1));
        const QByteArray body = path == u"_control" ? jsonText("{'version':'9.9.9'}") : QByteArray();
        const Wire answer =
            send(method + " /" + path.toUtf8() + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: "
                 + QByteArray::number(body.size()) + "\r\n" + headers + "Connection: close\r\n\r\n" + body);
        QCOMPARE(answer.status(), status);
        if (path == u"_control")
            QCOMPARE(call("GET", u"_control"_s).json()[u"version"_s].toString() == u"9.9.9", status == 200);
    }

    // Without a secret to start with (as scripts/run starts it), /_control is
    // shut to everyone; a guessable one is not taken.
    void startsWithASecret_data()
    {
        QTest::addColumn<QByteArray>("secret");
        QTest::addColumn<bool>("starts");
        QTest::addColumn<int>("control");
        QTest::newRow("none") << QByteArray() << true << 403;
        QTest::newRow("too short") << QByteArray("123456789012345") << false << 0;
        QTest::newRow("long enough") << DevServiceProcess::controlSecret() << true << 200;
    }
    void startsWithASecret()
    {
        QFETCH(QByteArray, secret);
        QFETCH(bool, starts);
        QFETCH(int, control);
        m_service = std::make_unique<DevServiceProcess>(QStringList(), secret);
        QCOMPARE(m_service->failure().isEmpty(), starts);
        if (starts)
            QCOMPARE(call("GET", u"_control"_s).status(), control); // sent with this process's secret
    }

    // The request log tells which token, code and verifier came, never what they were.
    void logKeepsCredentialsOut()
    {
        const PKCE pkce;
        const QString code = approve(pkce.challenge());
        const QJsonObject fields{{u"code"_s, code}, {u"code_verifier"_s, pkce.verifier()}};
        const QString token =
            call("POST", tokenPath, QJsonDocument(fields).toJson()).json()[u"data"_s][u"token"_s].toString();
        QVERIFY(!token.isEmpty());
        QCOMPARE(call("GET", mePath, {}, "Bearer " + token.toLatin1()).status(), 200);
        const QByteArray text = call("GET", u"_control/log"_s).body;
        const QJsonArray log = QJsonDocument::fromJson(text).array();
        QCOMPARE(log.size(), 3);
        for (const QString &secret : {code, pkce.verifier(), token})
            QVERIFY2(!text.contains(secret.toLatin1()), qPrintable(secret));
        const QJsonObject exchange = QJsonDocument::fromJson(log[1][u"body"_s].toString().toUtf8()).object();
        QCOMPARE(exchange[u"code"_s].toString(), loggedAs(code.toLatin1()));
        QCOMPARE(exchange[u"code_verifier"_s].toString(), loggedAs(pkce.verifier().toLatin1()));
        QCOMPARE(log[2][u"headers"_s][u"Authorization"_s].toString(), u"Bearer "_s + loggedAs(token.toLatin1()));
    }
};

QTEST_GUILESS_MAIN(DevServiceTest)
#include "tst_devservice.moc"
