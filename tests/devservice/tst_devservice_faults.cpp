#include "kit/Summary.h"
#include "tests/support/ServiceFixture.h"

#include <QJsonArray>

#include <chrono>

using namespace Qt::StringLiterals;

using namespace vesko;

enum class Check {
    decodes,
    errorBody,
    notJson,
    wrongTypes,
    exactSize,
    redirect,
    slow,
    truncated,
    reset,
    stalled
};
Q_DECLARE_METATYPE(Check)

// The control interface: faults as a client meets them on the wire, the
// request log and the connection count.
class DevServiceFaultsTest : public QObject, private ServiceFixture
{
    Q_OBJECT

private slots:
    void init() { restart(); }

    void faults_data()
    {
        QTest::addColumn<QByteArray>("faults");
        QTest::addColumn<int>("status"); // 0: no answer at all
        QTest::addColumn<Check>("check");
        QTest::addColumn<int>("amount"); // bytes or milliseconds, as the check needs
        QTest::addColumn<int>("next");   // status of the same call again; 0: not asked
        QTest::newRow("status") << jsonText("{'summary':{'status':503}}") << 503 << Check::errorBody << 0 << 503;
        QTest::newRow("status for all") << jsonText("{'*':{'status':500}}") << 500 << Check::errorBody << 0 << 0;
        QTest::newRow("other endpoint untouched")
            << jsonText("{'me':{'status':503}}") << 200 << Check::decodes << 0 << 0;
        QTest::newRow("unauthorized next")
            << jsonText("{'summary':{'unauthorized_next':1}}") << 401 << Check::errorBody << 0 << 200;
        QTest::newRow("malformed") << jsonText("{'summary':{'malformed':true}}") << 200 << Check::notJson << 0 << 0;
        QTest::newRow("wrong types") << jsonText("{'summary':{'wrong_types':true}}") << 200 << Check::wrongTypes << 0
                                     << 0;
        QTest::newRow("oversize") << jsonText("{'summary':{'oversize_bytes':300000}}") << 200 << Check::exactSize
                                  << 300000 << 0;
        QTest::newRow("redirect") << jsonText("{'summary':{'redirect_to':'http://127.0.0.2:9/v1/summary'}}") << 302
                                  << Check::redirect << 0 << 0;
        QTest::newRow("delay") << jsonText("{'summary':{'delay_ms':400}}") << 200 << Check::slow << 400 << 0;
        // Some 600 bytes, one a millisecond.
        QTest::newRow("trickle") << jsonText("{'summary':{'trickle_ms':1}}") << 200 << Check::slow << 400 << 0;
        QTest::newRow("truncate") << jsonText("{'summary':{'truncate':true}}") << 200 << Check::truncated << 0 << 0;
        QTest::newRow("reset") << jsonText("{'summary':{'reset':true}}") << 200 << Check::reset << 0 << 0;
        QTest::newRow("stall") << jsonText("{'summary':{'stall':true}}") << 0 << Check::stalled << 450 << 0;
    }
    void faults()
    {
        QFETCH(QByteArray, faults);
        QFETCH(int, status);
        QFETCH(Check, check);
        QFETCH(int, amount);
        QFETCH(int, next);
        const QByteArray auth = bearer();
        QCOMPARE(control(faults).status(), 200);
        const auto started = std::chrono::steady_clock::now();
        const Wire result = send(request("GET", summaryPath, {}, auth), 500);
        const qint64 ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
        QCOMPARE(result.status(), status);
        QCOMPARE(decoded<Summary>(result.body).has_value(),
                 check == Check::decodes || check == Check::exactSize || check == Check::slow);
        // Cut answers still promise the whole body.
        QCOMPARE(result.body.size() < result.header(u"Content-Length"_s).toInt(),
                 check == Check::truncated || check == Check::reset);
        QCOMPARE(result.end, check == Check::reset     ? Wire::End::reset
                             : check == Check::stalled ? Wire::End::timedOut
                                                       : Wire::End::closed);
        switch (check) {
        case Check::errorBody:
            QVERIFY(result.json()[u"error"_s].isString());
            break;
        case Check::notJson:
            QVERIFY(QJsonDocument::fromJson(result.body).isNull());
            break;
        case Check::wrongTypes:
            QVERIFY(result.json()[u"data"_s][u"mrr"_s].isString());
            break;
        case Check::exactSize:
            QCOMPARE(result.body.size(), amount);
            break;
        case Check::redirect:
            QCOMPARE(result.header(u"Location"_s), "http://127.0.0.2:9/v1/summary");
            break;
        case Check::slow:
        case Check::stalled:
            QVERIFY2(ms >= amount, qPrintable(QString::number(ms)));
            break;
        default:
            break;
        }
        if (next)
            QCOMPARE(call("GET", summaryPath, {}, auth).status(), next);
        // Reset clears every fault.
        QCOMPARE(call("POST", u"_control/reset"_s).status(), 200);
        QVERIFY(decoded<Summary>(call("GET", summaryPath, {}, auth).body));
    }

    // Both are how tests see what a client did: which requests, on how many connections.
    void logAndStats()
    {
        const QByteArray auth = bearer();
        const QByteArray device = jsonText("{'platform':'linux','push_token':'pt-1','environment':'production'}");
        QCOMPARE(call("POST", u"v1/devices"_s, device, auth).status(), 204);
        const QJsonArray log = QJsonDocument::fromJson(call("GET", u"_control/log"_s).body).array();
        QCOMPARE(log.size(), 1); // control calls are not logged
        QCOMPARE(log[0][u"method"_s].toString() + log[0][u"path"_s].toString(), u"POST/v1/devices"_s);
        QCOMPARE(log[0][u"headers"_s][u"Authorization"_s].toString(), u"Bearer "_s + loggedAs(auth.mid(7)));
        QCOMPARE(log[0][u"body"_s].toString().toUtf8(), device);
        QCOMPARE(call("POST", u"_control/log/clear"_s).status(), 204);
        QCOMPARE(call("GET", u"_control/log"_s).body, "[]");

        auto stats = [&] { return call("GET", u"_control/stats"_s).json(); };
        const QJsonValue before = stats();
        // Three requests on one connection, the last asking to close it.
        const Wire answers = send(request("GET", mePath, {}, auth, false) + request("GET", summaryPath, {}, auth, false)
                                  + request("GET", mePath, {}, auth));
        QCOMPARE((answers.head + answers.body).count("HTTP/1.1 200 OK"), 3);
        const QJsonValue after = stats(); // itself one more connection
        QCOMPARE(after[u"connections"_s].toInteger() - before[u"connections"_s].toInteger(), 2);
        QCOMPARE(after[u"requests"_s].toInteger() - before[u"requests"_s].toInteger(), 3);
    }
};

QTEST_GUILESS_MAIN(DevServiceFaultsTest)
#include "tst_devservice_faults.moc"
