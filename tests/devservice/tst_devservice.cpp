#include "ServiceFixture.h"

#include "Me.h"
#include "PKCE.h"
#include "Summary.h"
#include "VeskoEvent.h"

#include <numeric>

using namespace vesko;

enum class Attempt { wrongVerifier, shortVerifier, missingVerifier, unknownCode, reusedCode, retryAfterWrong, expiredCode };
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
        const QUrlQuery query{{"challenge", pkce.challenge()}, {"name", "Dana's <b>\"PC\"</b> & co"}};
        const Wire page = call("GET", "connect-app?" + query.toString(QUrl::FullyEncoded));
        // The name is echoed into element content and attribute values alike.
        QVERIFY(page.body.contains("Dana&#39;s &lt;b&gt;&quot;PC&quot;&lt;/b&gt; &amp; co wants"));
        QVERIFY(!page.body.contains("<b>") && !page.body.contains("\"PC\""));

        const QJsonObject fields{{"code", approve(pkce.challenge())}, {"code_verifier", pkce.verifier()}};
        const QByteArray auth = "Bearer " + call("POST", tokenPath, QJsonDocument(fields).toJson()).json()["data"]["token"].toString().toLatin1();
        QVERIFY(decoded<Summary>(call("GET", summaryPath, {}, auth).body));
        QCOMPARE(decoded<QList<VeskoEvent>>(call("GET", eventsPath, {}, auth).body).value_or(QList<VeskoEvent>()).size(), 5);
        QVERIFY(decoded<Me>(call("GET", mePath, {}, auth).body));
        QCOMPARE(call("DELETE", tokenPath, {}, auth).status(), 204);
        // A revoked token works nowhere, and a live one only as Bearer.
        QCOMPARE(call("GET", summaryPath, {}, auth).status(), 401);
        QCOMPARE(call("DELETE", tokenPath, {}, auth).status(), 401);
        QCOMPARE(call("POST", "v1/devices", {}, auth).status(), 401);
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
        const PKCE pkce = attempt == Attempt::shortVerifier ? PKCE("short") : PKCE();
        QJsonObject body{{"code", approve(pkce.challenge())}, {"code_verifier", pkce.verifier()}};
        auto exchange = [&](const QJsonObject &fields) { return call("POST", tokenPath, QJsonDocument(fields).toJson()); };
        QByteArray earlier;
        switch (attempt) {
        case Attempt::wrongVerifier: body["code_verifier"] = PKCE().verifier(); break;
        case Attempt::missingVerifier: body.remove("code_verifier"); break;
        case Attempt::unknownCode: body["code"] = PKCE().verifier(); break;
        case Attempt::reusedCode: earlier = "Bearer " + exchange(body).json()["data"]["token"].toString().toLatin1(); break;
        case Attempt::retryAfterWrong: exchange({{"code", body["code"]}, {"code_verifier", PKCE().verifier()}}); break;
        case Attempt::expiredCode: control(jsonText("{'advance_seconds':301}")); break;
        case Attempt::shortVerifier: break;
        }
        const Wire result = exchange(body);
        QCOMPARE(result.status(), 400);
        QCOMPARE(result.json()["error"].toString(), error);
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
        QTest::newRow("lower-case code on the command line") << QStringList{"--currency", "jpy"} << QByteArray("{}") << "JPY";
        QTest::newRow("switched while running") << QStringList{"--currency", "EUR"} << jsonText("{'currency':'GBP'}") << "GBP";
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
            return std::accumulate(list.begin(), list.end(), qint64(0), [](qint64 sum, const auto &entry) { return sum + entry.mrr(); });
        };
        QVERIFY(summary->mrr() > 0 && summary->byProject().size() > 1);
        QCOMPARE(total(summary->byChannel()), summary->mrr());
        QCOMPARE(total(summary->byProject()), summary->mrr());
        QCOMPARE(summary->arr(), 12 * summary->mrr());
        QCOMPARE(summary->currency(), currency);
        for (const QJsonValue &event : call("GET", eventsPath, {}, auth).json()["data"].toArray())
            QCOMPARE(event["currency"].toString(), currency);
        QCOMPARE(call("GET", mePath, {}, auth).json()["data"]["currency"].toString(), currency);
    }
};

QTEST_GUILESS_MAIN(DevServiceTest)
#include "tst_devservice.moc"
