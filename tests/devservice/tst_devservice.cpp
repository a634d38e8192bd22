#include "ServiceFixture.h"

#include "Me.h"
#include "PKCE.h"
#include "Summary.h"
#include "VeskoEvent.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QUrlQuery>
#include <QXmlStreamReader>

using namespace vesko;

namespace {

const QRegularExpression base64Url43(QStringLiteral("^[A-Za-z0-9_-]{43}$"));

} // namespace

enum class Attempt { good, wrongVerifier, rightAfterWrong, missingVerifier, missingCode, unknownCode,
                     reusedCode, expiredCode, justInTime, shortVerifier, notJson };
enum class Credential { none, emptyBearer, unknownToken, otherScheme, revokedToken };
Q_DECLARE_METATYPE(Attempt)
Q_DECLARE_METATYPE(Credential)

// The service as the app meets it: sign-in, the three reads, sign-out, the
// pages it opens, its demo figures and its command line.
class DevServiceTest : public QObject, private ServiceFixture
{
    Q_OBJECT

private slots:
    void init() { restart(); }
    void cleanup() { stop(); }

    void signInFlow()
    {
        const PKCE pkce;
        QUrlQuery query{{"challenge", pkce.challenge()}, {"platform", "linux"}, {"name", "Dana's laptop"}};
        const HttpResult page = m_http->get(url("connect-app?" + query.toString(QUrl::FullyEncoded)));
        QCOMPARE(page.status, 200);
        QVERIFY(page.body.contains("Dana&#39;s laptop wants to show your revenue"));

        QUrlQuery fields{{"challenge", pkce.challenge()}, {"decision", "approve"}};
        const HttpResult approved = m_http->send("POST", url("connect-app"), fields.toString(QUrl::FullyEncoded).toUtf8(), formType);
        QCOMPARE(approved.status, 302);
        const QUrl callback(QString::fromUtf8(approved.location));
        QCOMPARE(callback.scheme(), "vesko");
        QCOMPARE(callback.host(), "callback");
        const QString code = QUrlQuery(callback).queryItemValue("code");
        QVERIFY2(base64Url43.match(code).hasMatch(), qPrintable(code));

        const HttpResult exchanged = exchangeCode(compact({{"code", code}, {"code_verifier", pkce.verifier()}}));
        QCOMPARE(exchanged.status, 200);
        const QByteArray token = exchanged.data()["token"].toString().toLatin1();
        QVERIFY2(base64Url43.match(QString::fromLatin1(token)).hasMatch(), token.constData());

        QString why;
        const auto summary = decoded<Summary>(m_http->get(url(summaryPath), token).body, &why);
        QVERIFY2(summary, qPrintable(why));
        QCOMPARE(summary->currency(), "USD");
        QVERIFY(summary->hasSources() && summary->mrr() > 0);
        const auto events = decoded<QList<VeskoEvent>>(m_http->get(url(eventsPath), token).body, &why);
        QVERIFY2(events, qPrintable(why));
        QCOMPARE(events->size(), 5);
        const auto me = decoded<Me>(m_http->get(url(mePath), token).body, &why);
        QVERIFY2(me, qPrintable(why));
        QCOMPARE(me->currency(), "USD");

        QCOMPARE(m_http->send("DELETE", url(tokenPath), {}, {}, token).status, 204);
        QCOMPARE(m_http->get(url(summaryPath), token).status, 401);
    }

    void exchange_data()
    {
        QTest::addColumn<Attempt>("attempt");
        QTest::addColumn<QString>("expectedError"); // empty: a token comes back
        QTest::newRow("good") << Attempt::good << "";
        QTest::newRow("wrong verifier") << Attempt::wrongVerifier << "invalid_grant";
        QTest::newRow("right verifier after a wrong one") << Attempt::rightAfterWrong << "invalid_grant";
        QTest::newRow("missing verifier") << Attempt::missingVerifier << "invalid_request";
        QTest::newRow("missing code") << Attempt::missingCode << "invalid_request";
        QTest::newRow("unknown code") << Attempt::unknownCode << "invalid_grant";
        QTest::newRow("reused code") << Attempt::reusedCode << "invalid_grant";
        QTest::newRow("expired code") << Attempt::expiredCode << "invalid_grant";
        QTest::newRow("just before expiry") << Attempt::justInTime << "";
        QTest::newRow("verifier shorter than RFC 7636 allows") << Attempt::shortVerifier << "invalid_grant";
        QTest::newRow("form body instead of JSON") << Attempt::notJson << "invalid_request";
    }
    void exchange()
    {
        QFETCH(Attempt, attempt);
        QFETCH(QString, expectedError);
        const PKCE pkce = attempt == Attempt::shortVerifier ? PKCE("too-short") : PKCE();
        const QString code = approve(pkce.challenge());
        QVERIFY(!code.isEmpty());
        QJsonObject body{{"code", code}, {"code_verifier", pkce.verifier()}};
        QByteArray earlierToken;

        switch (attempt) {
        case Attempt::wrongVerifier: body["code_verifier"] = PKCE().verifier(); break;
        case Attempt::rightAfterWrong:
            QCOMPARE(exchangeCode(compact({{"code", code}, {"code_verifier", PKCE().verifier()}})).status, 400);
            break;
        case Attempt::missingVerifier: body.remove("code_verifier"); break;
        case Attempt::missingCode: body.remove("code"); break;
        case Attempt::unknownCode: body["code"] = PKCE().verifier(); break;
        case Attempt::reusedCode: {
            const HttpResult first = exchangeCode(compact(body));
            QCOMPARE(first.status, 200);
            earlierToken = first.data()["token"].toString().toLatin1();
            break;
        }
        case Attempt::expiredCode: QCOMPARE(control({{"advance_seconds", 5 * 60 + 1}}).status, 200); break;
        case Attempt::justInTime: QCOMPARE(control({{"advance_seconds", 5 * 60 - 5}}).status, 200); break;
        default: break;
        }

        const HttpResult result = attempt == Attempt::notJson
            ? m_http->send("POST", url(tokenPath), "code=" + code.toUtf8() + "&code_verifier=" + pkce.verifier().toUtf8(), formType)
            : exchangeCode(compact(body));
        if (expectedError.isEmpty()) {
            QCOMPARE(result.status, 200);
            const QByteArray token = result.data()["token"].toString().toLatin1();
            QCOMPARE(m_http->get(url(mePath), token).status, 200);
        } else {
            QCOMPARE(result.status, 400);
            QCOMPARE(result.json()["error"].toString(), expectedError);
            QVERIFY(!result.json().contains("data"));
        }
        // A replayed code withdraws the token it gave out.
        if (attempt == Attempt::reusedCode)
            QCOMPARE(m_http->get(url(mePath), earlierToken).status, 401);
    }

    void connectDecision_data()
    {
        QTest::addColumn<QString>("fields");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("location"); // a pattern
        const QString challenge = PKCE().challenge();
        QTest::newRow("approve") << "decision=approve&challenge=" + challenge << 302 << "^vesko://callback\\?code=[A-Za-z0-9_-]{43}$";
        QTest::newRow("deny") << "decision=deny&challenge=" + challenge << 302 << "^vesko://callback$";
        QTest::newRow("approve, challenge cut short") << "decision=approve&challenge=" + challenge.chopped(1) << 400 << "^$";
        QTest::newRow("no decision") << "challenge=" + challenge << 400 << "^$";
    }
    void connectDecision()
    {
        QFETCH(QString, fields);
        QFETCH(int, status);
        QFETCH(QString, location);
        const HttpResult result = m_http->send("POST", url("connect-app"), fields.toUtf8(), formType);
        QCOMPARE(result.status, status);
        QVERIFY2(QRegularExpression(location).match(QString::fromUtf8(result.location)).hasMatch(), result.location.constData());
    }

    void connectPageChallenge_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("offered"); // Approve and Deny are on the page
        const QString challenge = PKCE().challenge();
        QTest::newRow("valid") << "challenge=" + challenge + "&platform=linux&name=PC" << true;
        QTest::newRow("missing") << "platform=linux&name=PC" << false;
        QTest::newRow("42 characters") << "challenge=" + challenge.chopped(1) << false;
        QTest::newRow("44 characters") << "challenge=" + challenge + "A" << false;
        QTest::newRow("standard base64 plus") << "challenge=" + challenge.chopped(1) + "%2B" << false;
        QTest::newRow("padded") << "challenge=" + challenge.chopped(1) + "%3D" << false;
    }
    void connectPageChallenge()
    {
        QFETCH(QString, query);
        QFETCH(bool, offered);
        const HttpResult page = m_http->get(url("connect-app?" + query));
        QCOMPARE(page.status, offered ? 200 : 400);
        QCOMPARE(page.body.contains("value=\"approve\""), offered);
    }

    void connectPageEscapes_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("escaped");
        QTest::addColumn<QByteArray>("raw");
        QTest::newRow("script in name") << "name" << "<script>alert(1)</script>" << QByteArray("&lt;script&gt;alert(1)&lt;/script&gt;") << QByteArray("<script>");
        QTest::newRow("attribute break-out") << "name" << "\"><img src=x onerror=alert(1)>" << QByteArray("&quot;&gt;&lt;img") << QByteArray("<img");
        QTest::newRow("ampersand and apostrophe") << "name" << "Tom & Jerry's" << QByteArray("Tom &amp; Jerry&#39;s") << QByteArray("Jerry's");
        QTest::newRow("markup in platform") << "platform" << "<b>linux</b>" << QByteArray("&lt;b&gt;linux&lt;/b&gt;") << QByteArray("<b>");
    }
    void connectPageEscapes()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QByteArray, escaped);
        QFETCH(QByteArray, raw);
        QUrlQuery query{{"challenge", PKCE().challenge()}, {field, value}};
        const HttpResult page = m_http->get(url("connect-app?" + query.toString(QUrl::FullyEncoded)));
        QCOMPARE(page.status, 200);
        QVERIFY2(page.body.contains(escaped), page.body.constData());
        QVERIFY2(!page.body.contains(raw), page.body.constData());
    }

    void unauthorised_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<Credential>("credential");
        const QList<std::pair<QByteArray, QString>> endpoints{
            {"GET", summaryPath}, {"GET", eventsPath}, {"GET", mePath}, {"POST", "v1/devices"}, {"DELETE", tokenPath}};
        const QList<std::pair<const char *, Credential>> credentials{
            {"no header", Credential::none}, {"empty bearer", Credential::emptyBearer},
            {"unknown token", Credential::unknownToken}, {"basic scheme", Credential::otherScheme},
            {"revoked token", Credential::revokedToken}};
        for (const auto &[method, path] : endpoints) {
            for (const auto &[name, credential] : credentials)
                QTest::addRow("%s %s, %s", method.constData(), qPrintable(path), name) << method << path << credential;
        }
    }
    void unauthorised()
    {
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(Credential, credential);
        const QByteArray token = issueToken();
        QNetworkRequest request(url(path));
        switch (credential) {
        case Credential::none: break;
        case Credential::emptyBearer: request.setRawHeader("Authorization", "Bearer "); break;
        case Credential::unknownToken: request.setRawHeader("Authorization", "Bearer " + PKCE().verifier().toLatin1()); break;
        case Credential::otherScheme: request.setRawHeader("Authorization", "Basic " + token); break;
        case Credential::revokedToken:
            QCOMPARE(m_http->send("DELETE", url(tokenPath), {}, {}, token).status, 204);
            request.setRawHeader("Authorization", "Bearer " + token);
            break;
        }
        QNetworkAccessManager manager;
        const QByteArray body = jsonText("{'platform':'linux','push_token':'t','environment':'production'}");
        QNetworkReply *reply = manager.sendCustomRequest(request, method, method == "POST" ? body : QByteArray());
        QTRY_VERIFY(reply->isFinished());
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 401);
        delete reply;
        QCOMPARE(m_http->get(url("_control")).json()["devices"].toArray().size(), 0);
    }

    void summaryAddsUp_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("switchTo"); // through the control interface
        QTest::addColumn<QString>("currency");
        QTest::newRow("default") << QStringList() << "" << "USD";
        QTest::newRow("euro from the command line") << QStringList{"--currency", "EUR"} << "" << "EUR";
        QTest::newRow("lower-case code") << QStringList{"--currency", "jpy"} << "" << "JPY";
        QTest::newRow("other seed") << QStringList{"--seed", "977"} << "" << "USD";
        QTest::newRow("switched while running") << QStringList{"--currency", "EUR"} << "GBP" << "GBP";
    }
    void summaryAddsUp()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, switchTo);
        QFETCH(QString, currency);
        restart(arguments);
        if (!switchTo.isEmpty())
            QCOMPARE(control({{"currency", switchTo}}).status, 200);
        const QByteArray token = issueToken();

        // Several points in time, so that the drift is covered too.
        for (int hour = 0; hour < 48; hour += 7) {
            QCOMPARE(control({{"advance_seconds", 7 * 3600}}).status, 200);
            const auto summary = decoded<Summary>(m_http->get(url(summaryPath), token).body);
            QVERIFY(summary);
            qint64 channels = 0, projects = 0;
            for (const auto &entry : summary->byChannel())
                channels += entry.mrr();
            for (const auto &entry : summary->byProject())
                projects += entry.mrr();
            QCOMPARE(channels, summary->mrr());
            QCOMPARE(projects, summary->mrr());
            QCOMPARE(summary->arr(), 12 * summary->mrr());
            QCOMPARE(summary->currency(), currency);
            QVERIFY(summary->ending() >= 0 && summary->ending() <= summary->mrr());
            QVERIFY(summary->byChannel().size() >= 5 && summary->byProject().size() >= 2);
        }
        const auto events = decoded<QList<VeskoEvent>>(m_http->get(url(eventsPath), token).body);
        QVERIFY(events && events->size() == 5);
        QSet<int> kinds;
        bool bareCancellation = false, priced = false;
        for (qsizetype i = 0; i < events->size(); ++i) {
            const VeskoEvent &event = events->at(i);
            QCOMPARE(event.currency(), currency);
            if (i > 0)
                QVERIFY(events->at(i - 1).occurredAt() >= event.occurredAt());
            kinds.insert(event.kind().value());
            bareCancellation |= event.kind() == VeskoEvent::Kind::cancelled && !event.amount();
            priced |= event.amount() && event.interval();
        }
        QCOMPARE(kinds.size(), 3);
        QVERIFY(bareCancellation && priced);
        QCOMPARE(decoded<Me>(m_http->get(url(mePath), token).body)->currency(), currency);
    }

    void figuresFollowSeedAndClock()
    {
        const QJsonObject instant{{"clock", "2026-12-06T08:00:00Z"}};
        QCOMPARE(control(instant).status, 200);
        const QByteArray token = issueToken();
        const QByteArray first = m_http->get(url(summaryPath), token).body;
        const QByteArray firstEvents = m_http->get(url(eventsPath), token).body;
        QCOMPARE(decoded<Summary>(first)->lastSyncedAt(), QDateTime(QDate(2026, 12, 6), QTime(8, 0), Qt::UTC));

        DevServiceProcess twin, other({"--seed", "2"});
        HttpClient http;
        for (DevServiceProcess *service : {&twin, &other})
            QCOMPARE(http.send("POST", service->url("_control"), compact(instant)).status, 200);
        auto fetch = [&](DevServiceProcess &service) {
            const QByteArray serviceToken = http.send("POST", service.url("_control/issue-token")).data()["token"].toString().toLatin1();
            return http.get(service.url(summaryPath), serviceToken).body;
        };
        QCOMPARE(fetch(twin), first);
        QVERIFY(fetch(other) != first);

        // Half an hour later the figures have moved and newer events are on top.
        QCOMPARE(control({{"advance_seconds", 1800}}).status, 200);
        QVERIFY(decoded<Summary>(m_http->get(url(summaryPath), token).body)->mrr() != decoded<Summary>(first)->mrr());
        QVERIFY(decoded<QList<VeskoEvent>>(m_http->get(url(eventsPath), token).body)->constFirst().occurredAt()
                > decoded<QList<VeskoEvent>>(firstEvents)->constFirst().occurredAt());
    }

    void appcast_data()
    {
        QTest::addColumn<QString>("version");
        QTest::newRow("default") << "";
        QTest::newRow("set") << "1.4.0";
        QTest::newRow("needs escaping") << "2.0 <beta & co>";
    }
    void appcast()
    {
        QFETCH(QString, version);
        if (!version.isEmpty())
            QCOMPARE(control({{"version", version}}).status, 200);
        const HttpResult feed = m_http->get(url("appcast.xml"));
        QCOMPARE(feed.status, 200);
        QXmlStreamReader xml(feed.body);
        const QString sparkle = "http://www.andymatuschak.org/xml-namespaces/sparkle";
        QHash<QString, QString> item;
        bool inItem = false;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == u"item")
                inItem = true;
            else if (inItem)
                item.insert(xml.namespaceUri() == sparkle ? "sparkle:" + xml.name().toString() : xml.name().toString(),
                            xml.readElementText());
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        const QString expected = version.isEmpty() ? "0.1.0" : version;
        QCOMPARE(item.value("sparkle:version"), expected);
        QCOMPARE(item.value("sparkle:shortVersionString"), expected);
        const HttpResult download = m_http->get(QUrl(item.value("link")));
        QCOMPARE(download.status, 200);
        QVERIFY(download.body.contains(expected.toHtmlEscaped().toUtf8()));
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("port out of range") << QStringList{"--port", "70000"};
        QTest::newRow("currency not a code") << QStringList{"--currency", "E1"};
        QTest::newRow("seed not a number") << QStringList{"--seed", "x"};
        QTest::newRow("stray argument") << QStringList{"now"};
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QProcess process;
        process.start(VESKO_DEVSERVICE_PATH, QStringList{"--port", "0"} + arguments);
        QVERIFY(process.waitForFinished(5000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardOutput().isEmpty());
        QVERIFY(process.readAllStandardError().startsWith("vesko-devservice: "));
    }
};

QTEST_GUILESS_MAIN(DevServiceTest)
#include "tst_devservice.moc"
