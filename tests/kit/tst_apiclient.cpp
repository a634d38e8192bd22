// The API client against a real HTTP server on loopback: what crosses the
// wire, and how every kind of answer — and non-answer — is classified.
#include "kit/APIClient.h"
#include "kit/HttpSession.h"
#include "tests/support/Fixtures.h"
#include "tests/support/TestHttpServer.h"

#include <QJsonDocument>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

using namespace Qt::StringLiterals;

using namespace vesko;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(ScriptedReply)

namespace {

const QString token = u"tok_SECRET-4f1c2a"_s;

// Short limits so that timeouts happen in milliseconds.
HttpSession::Limits quickLimits()
{
    return {.idleTimeout = 400ms, .deadline = 1500ms, .maxBodyBytes = qint64{64} * 1024};
}

VeskoConfig configFor(const QByteArray &apiBase)
{
    return VeskoConfig(QUrl(QString::fromLatin1(apiBase)), QUrl(u"http://127.0.0.1:1"_s));
}

// Runs one call and waits for its single outcome.
template <typename T, typename Start>
Outcome<T> await(Start start)
{
    std::optional<Outcome<T>> result;
    int calls = 0;
    start([&](Outcome<T> outcome) {
        ++calls;
        result.emplace(std::move(outcome));
    });
    if (!QTest::qWaitFor([&] { return result.has_value(); }, 10000))
        qFatal("no outcome");
    QTest::qWait(20); // a second delivery would show here
    if (calls != 1)
        qFatal("outcome delivered %d times", calls);
    return std::move(*result);
}

// A gzip member around `data`: zlib's deflate stream out of qCompress, between
// gzip's own header and trailer (CRC-32 and length), the checksum spoilt on request.
QByteArray gzip(const QByteArray &data, bool rightChecksum = true)
{
    const QByteArray deflated = qCompress(data, 9).mid(4 + 2).chopped(4);
    quint32 crc = 0xFFFFFFFF;
    for (const char byte : data) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    crc = ~crc ^ (rightChecksum ? 0u : 1u);
    QByteArray out("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03", 10);
    out += deflated;
    for (const quint32 word : {crc, quint32(data.size())}) {
        for (int i = 0; i < 4; ++i)
            out += char((word >> (8 * i)) & 0xFF);
    }
    return out;
}

// The process's peak resident size since the last reset, in bytes.
qint64 peakResident()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return -1;
}

void resetPeakResident()
{
    QFile refs(u"/proc/self/clear_refs"_s);
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

template <typename T>
QString describe(const Outcome<T> &outcome)
{
    if (std::holds_alternative<T>(outcome))
        return u"ok"_s;
    if (const APIError *e = std::get_if<APIError>(&outcome))
        return e->toString();
    return u"decoding"_s;
}

} // namespace

class APIClientTest : public QObject
{
    Q_OBJECT

    HttpSession m_session{quickLimits()};
    TestHttpServer m_server;

    APIClient client(std::optional<QString> withToken = token) const
    {
        return APIClient(configFor(m_server.origin()), std::move(withToken), const_cast<HttpSession &>(m_session));
    }

private slots:
    void init() { m_server.setScript({}); }

    void wire_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QByteArray>("base");
        QTest::addColumn<bool>("withToken");
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("summary") << "summary" << QByteArray() << true << QByteArray("GET")
                                 << QByteArray("/v1/summary?project=all") << QByteArray();
        QTest::newRow("summary, awkward project")
            << "summary odd" << QByteArray() << true << QByteArray("GET")
            << QByteArray("/v1/summary?project=a%20b%26c%2Bd%3D%C3%A9") << QByteArray();
        QTest::newRow("events") << "events" << QByteArray() << true << QByteArray("GET")
                                << QByteArray("/v1/events?project=all&limit=5") << QByteArray();
        QTest::newRow("events of one project") << "events prj" << QByteArray() << true << QByteArray("GET")
                                               << QByteArray("/v1/events?project=prj%2F1&limit=5") << QByteArray();
        QTest::newRow("me") << "me" << QByteArray() << true << QByteArray("GET") << QByteArray("/v1/me")
                            << QByteArray();
        QTest::newRow("me, base with path")
            << "me" << QByteArray("/api") << true << QByteArray("GET") << QByteArray("/api/v1/me") << QByteArray();
        QTest::newRow("me, base with path and slash")
            << "me" << QByteArray("/api/") << true << QByteArray("GET") << QByteArray("/api/v1/me") << QByteArray();
        QTest::newRow("exchange, no token")
            << "exchange" << QByteArray() << false << QByteArray("POST") << QByteArray("/v1/app-auth/token")
            << QByteArray(R"({"code":"c0de","code_verifier":"v3rifier"})");
        QTest::newRow("sign out") << "signOut" << QByteArray() << true << QByteArray("DELETE")
                                  << QByteArray("/v1/app-auth/token") << QByteArray();
        QTest::newRow("device") << "device" << QByteArray() << true << QByteArray("POST") << QByteArray("/v1/devices")
                                << QByteArray(R"({"environment":"production","platform":"linux","push_token":"00ff"})");
    }
    void wire()
    {
        QFETCH(QString, operation);
        QFETCH(QByteArray, base);
        QFETCH(bool, withToken);
        QFETCH(QByteArray, method);
        QFETCH(QByteArray, target);
        QFETCH(QByteArray, body);

        const APIClient c(configFor(m_server.origin() + base), withToken ? std::optional(token) : std::nullopt,
                          m_session);
        const qsizetype before = m_server.requests().size();
        bool finished = false;
        auto done = [&](auto &&) { finished = true; };
        if (operation == u"summary"_s)
            c.summary(u"all"_s, this, done);
        else if (operation == u"summary odd"_s)
            c.summary(QString::fromUtf8("a b&c+d=\xc3\xa9"), this, done);
        else if (operation == u"events"_s)
            c.events(u"all"_s, 5, this, done);
        else if (operation == u"events prj"_s)
            c.events(u"prj/1"_s, 5, this, done);
        else if (operation == u"me"_s)
            c.me(this, done);
        else if (operation == u"exchange"_s)
            c.exchange(u"c0de"_s, u"v3rifier"_s, this, done);
        else if (operation == u"signOut"_s)
            c.signOut(this, done);
        else
            c.registerDevice(u"linux"_s, u"00ff"_s, u"production"_s, this, done);
        QTRY_VERIFY(finished);

        QCOMPARE(m_server.requests().size(), before + 1);
        const ReceivedRequest &r = m_server.requests().last();
        QCOMPARE(r.method, method);
        QCOMPARE(r.target, target);
        QCOMPARE(r.headers.value("accept"), QByteArray("application/json"));
        QCOMPARE(r.headers.contains("authorization"), withToken);
        if (withToken)
            QCOMPARE(r.headers.value("authorization"), "Bearer " + token.toUtf8());
        QCOMPARE(r.headers.contains("content-type"), !body.isEmpty());
        if (body.isEmpty()) {
            QVERIFY(r.body.isEmpty());
        } else {
            QCOMPARE(r.headers.value("content-type"), QByteArray("application/json"));
            // Member order carries no meaning: compare as JSON.
            QCOMPARE(QJsonDocument::fromJson(r.body), QJsonDocument::fromJson(body));
            QVERIFY(!r.body.contains('\n'));
        }
    }

    void statuses_data()
    {
        QTest::addColumn<ScriptedReply>("reply");
        QTest::addColumn<QString>("me");
        QTest::addColumn<QString>("signOut");
        const QByteArray me = fixtures::envelope(fixtures::me());
        QTest::newRow("199") << ScriptedReply::json(199, me) << "status(199)"
                             << "status(199)";
        QTest::newRow("200") << ScriptedReply::json(200, me) << "ok"
                             << "ok";
        QTest::newRow("299") << ScriptedReply::json(299, me) << "ok"
                             << "ok";
        QTest::newRow("204 empty") << ScriptedReply::json(204, {}) << "decoding"
                                   << "ok";
        QTest::newRow("200 not JSON") << ScriptedReply::json(200, "<html>hello</html>") << "decoding"
                                      << "ok";
        QTest::newRow("300") << ScriptedReply::json(300, me) << "status(300)"
                             << "status(300)";
        QTest::newRow("304") << ScriptedReply::json(304, {}) << "status(304)"
                             << "status(304)";
        QTest::newRow("400") << ScriptedReply::json(400, "{}") << "status(400)"
                             << "status(400)";
        QTest::newRow("401") << ScriptedReply::json(401, me) << "unauthorized"
                             << "unauthorized";
        QTest::newRow("403") << ScriptedReply::json(403, "{}") << "status(403)"
                             << "status(403)";
        QTest::newRow("404") << ScriptedReply::json(404, "{}") << "status(404)"
                             << "status(404)";
        QTest::newRow("500") << ScriptedReply::json(500, "{}") << "status(500)"
                             << "status(500)";
        QTest::newRow("503") << ScriptedReply::json(503, "{}") << "status(503)"
                             << "status(503)";
        QTest::newRow("not HTTP") << ScriptedReply{.mode = ScriptedReply::Mode::raw, .raw = "SSH-2.0-OpenSSH\r\n"}
                                  << "offline"
                                  << "offline";
    }
    void statuses()
    {
        QFETCH(ScriptedReply, reply);
        QFETCH(QString, me);
        QFETCH(QString, signOut);
        m_server.setScript([reply](const ReceivedRequest &) { return reply; });
        QCOMPARE(describe(await<Me>([&](auto done) { client().me(this, done); })), me);
        QCOMPARE(describe(await<std::monostate>([&](auto done) {
                     client().signOut(this, [done](std::optional<APIError> e) {
                         done(e ? Outcome<std::monostate>(*e) : Outcome<std::monostate>(std::monostate{}));
                     });
                 })),
                 signOut);
    }

    void redirects()
    {
        // Same origin: followed, and the answer at the end counts.
        m_server.setScript([](const ReceivedRequest &r) {
            if (r.target == "/v1/me")
                return ScriptedReply{301, {}, {{"Location", "/v2/me"}}};
            return ScriptedReply::json(200, fixtures::envelope(fixtures::me()));
        });
        QCOMPARE(describe(await<Me>([&](auto done) { client().me(this, done); })), u"ok"_s);
        QCOMPARE(m_server.requests().last().target, QByteArray("/v2/me"));
        QCOMPARE(m_server.requests().last().headers.value("authorization"), "Bearer " + token.toUtf8());

        // Another origin — another port on the same host is one — never sees the token.
        TestHttpServer elsewhere;
        for (const int status : {301, 302, 307, 308}) {
            m_server.setScript([&](const ReceivedRequest &) {
                return ScriptedReply{status, {}, {{"Location", elsewhere.origin() + "/v1/me"}}};
            });
            QCOMPARE(describe(await<Me>([&](auto done) { client().me(this, done); })), u"status(%1)"_s.arg(status));
        }
        QVERIFY(elsewhere.requests().isEmpty());
    }

    void transportFailures_data()
    {
        QTest::addColumn<ScriptedReply>("reply");
        const QByteArray me = fixtures::envelope(fixtures::me());
        using Mode = ScriptedReply::Mode;
        QTest::newRow("stall") << ScriptedReply{.mode = Mode::stall};
        // One byte every 300 ms never trips the 400 ms idle timeout; the deadline ends it.
        QTest::newRow("trickle") << ScriptedReply{
            .status = 200, .body = me, .mode = Mode::trickle, .trickleIntervalMs = 300};
        QTest::newRow("truncated body") << ScriptedReply{.status = 200, .body = me, .mode = Mode::truncate};
        QTest::newRow("reset mid-body") << ScriptedReply{.status = 200, .body = me, .mode = Mode::reset};
        QTest::newRow("oversize, announced") << ScriptedReply::json(200, QByteArray(qint64{100} * 1024, ' ') + me);
        QTest::newRow("oversize, chunked")
            << ScriptedReply{.status = 200, .body = QByteArray(qint64{100} * 1024, ' ') + me, .chunked = true};
        QTest::newRow("closed without answer") << ScriptedReply{.mode = Mode::raw};
    }
    void transportFailures()
    {
        QFETCH(ScriptedReply, reply);
        m_server.setScript([reply](const ReceivedRequest &) { return reply; });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(describe(await<Me>([&](auto done) { client().me(this, done); })), u"offline"_s);
        QVERIFY2(clock.elapsed() < 5000, "the limits did not end the call");
    }

    void compressedBodies_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("outcome");
        const QByteArray me = fixtures::envelope(fixtures::me());
        QTest::newRow("whole") << gzip(me) << "ok";
        QTest::newRow("bad checksum") << gzip(me, false) << "offline";
        // Valid JSON all the way through, at a ratio no real answer has.
        const QByteArray padded = me.chopped(1) + ",\"pad\":\"" + QByteArray(32 << 20, ' ') + "\"}";
        QTest::newRow("bomb") << gzip(padded) << "offline";
    }
    void compressedBodies()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, outcome);
        // A cap above the bomb, so that only the decompressor can stop it.
        HttpSession session(HttpSession::Limits{.maxBodyBytes = 64 << 20});
        const APIClient c(configFor(m_server.origin()), token, session);
        m_server.setScript([body](const ReceivedRequest &) {
            return ScriptedReply{200, body, {{"Content-Type", "application/json"}, {"Content-Encoding", "gzip"}}};
        });
        QCOMPARE(describe(await<Me>([&](auto done) { c.me(this, done); })), outcome);
    }

    void endlessBodyStaysBounded()
    {
        // The real cap: the main thread has 4 MiB to take before it gives up.
        HttpSession session(HttpSession::Limits{.idleTimeout = 10s, .deadline = 30s});
        EndlessServer server;
        const APIClient c(configFor(server.origin()), token, session);
        resetPeakResident();
        const qint64 before = peakResident();
        std::optional<Outcome<Me>> result;
        c.me(this, [&](Outcome<Me> o) { result.emplace(std::move(o)); });
        QVERIFY(QTest::qWaitFor([&] { return server.bytesSent() > 0; }, 10000));
        // A main thread busy elsewhere (a slow frame, a swapped-in page) must
        // not let Qt's network thread buffer the body on its behalf.
        QThread::msleep(1000);
        QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 30000);
        QCOMPARE(describe(*result), u"offline"_s);
        const qint64 grown = peakResident() - before;
        constexpr qint64 bound = qint64{64} * 1024 * 1024; // unbounded, it runs to gigabytes
        qInfo("sent %lld bytes, peak resident grew by %lld bytes", server.bytesSent(), grown);
        QVERIFY2(server.bytesSent() < bound, qPrintable(QString::number(server.bytesSent())));
        QVERIFY2(before > 0 && grown < bound, qPrintable(QString::number(grown)));
    }

    void refused()
    {
        quint16 closedPort;
        {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            closedPort = probe.serverPort();
        }
        const APIClient c(configFor("http://127.0.0.1:" + QByteArray::number(closedPort)), token, m_session);
        QCOMPARE(describe(await<Me>([&](auto done) { c.me(this, done); })), u"offline"_s);
    }

    void notAnHttpAnswer()
    {
        // The base URL is used as configured; a file is an answer without an HTTP status.
        QTemporaryDir dir;
        QDir(dir.path()).mkpath(u"v1"_s);
        QFile file(dir.filePath(u"v1/me"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(fixtures::envelope(fixtures::me()));
        file.close();
        const APIClient c(VeskoConfig(QUrl::fromLocalFile(dir.path()), {}), std::nullopt, m_session);
        QCOMPARE(describe(await<Me>([&](auto done) { c.me(this, done); })), u"status(0)"_s);
    }

    void cancellation()
    {
        m_server.setScript([](const ReceivedRequest &) { return ScriptedReply{.mode = ScriptedReply::Mode::stall}; });
        std::optional<Outcome<Me>> result;
        APICall call = client().me(this, [&](Outcome<Me> o) { result.emplace(std::move(o)); });
        QTRY_COMPARE(m_server.requests().size() > 0, true);
        QVERIFY(call.isRunning());
        call.cancel();
        QVERIFY2(!result, "delivered from inside cancel()");
        QTRY_VERIFY(result);
        QCOMPARE(describe(*result), u"offline"_s);
        QVERIFY(!call.isRunning());
        call.cancel(); // harmless once over
    }

    void destroyedContextGetsNothing()
    {
        m_server.setScript([](const ReceivedRequest &) { return ScriptedReply{.mode = ScriptedReply::Mode::stall}; });
        bool called = false;
        auto *context = new QObject;
        APICall call = client().me(context, [&](const Outcome<Me> &) { called = true; });
        QTRY_COMPARE(m_server.requests().size() > 0, true);
        delete context;
        QTRY_VERIFY(!call.isRunning());
        QTest::qWait(50);
        QVERIFY(!called);
    }

    void unusableTokens()
    {
        // A token that would break the header line is never sent.
        const qsizetype before = m_server.requests().size();
        for (const QString &bad : {u"tok\r\nX-Evil: 1"_s, u"tok\x01"_s, QString()}) {
            const APIClient c(configFor(m_server.origin()), bad, m_session);
            QCOMPARE(describe(await<Me>([&](auto done) { c.me(this, done); })), u"unauthorized"_s);
        }
        QCOMPARE(m_server.requests().size(), before);

        // Nor is one accepted from the code exchange.
        for (const QByteArray &answer :
             {QByteArray(R"({"data":{"token":"a\nb"}})"), QByteArray(R"({"data":{"token":""}})"),
              QByteArray(R"({"data":{"token":7}})"), QByteArray(R"({"data":{}})")}) {
            m_server.setScript([answer](const ReceivedRequest &) { return ScriptedReply::json(200, answer); });
            QCOMPARE(
                describe(await<QString>([&](auto done) { client(std::nullopt).exchange(u"c"_s, u"v"_s, this, done); })),
                u"decoding"_s);
        }
        m_server.setScript(
            [](const ReceivedRequest &) { return ScriptedReply::json(200, R"({"data":{"token":"t0k","x":1}})"); });
        const Outcome<QString> good =
            await<QString>([&](auto done) { client(std::nullopt).exchange(u"c"_s, u"v"_s, this, done); });
        QCOMPARE(std::get<QString>(good), u"t0k"_s);
    }

    void secretsNeverLogged()
    {
        // Every category at every level, Qt's own included.
        static QStringList lines;
        lines.clear();
        QLoggingCategory::setFilterRules(u"*.debug=true"_s);
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &m) { lines.append(m); });
        m_server.setScript([](const ReceivedRequest &r) {
            if (r.target.startsWith("/v1/app-auth"))
                return ScriptedReply::json(200, R"({"data":{"token":"tok_FRESH-77"}})");
            return ScriptedReply::json(200, fixtures::envelope(fixtures::me()));
        });
        await<QString>(
            [&](auto done) { client(std::nullopt).exchange(u"code-SECRET-1"_s, u"verifier-SECRET-2"_s, this, done); });
        await<Me>([&](auto done) { client().me(this, done); });
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules(QString());

        QVERIFY2(lines.join(u'\n').contains(u"/v1/me"_s), "logging was not on");
        for (const QString &line : lines) {
            for (const char *secret : {"tok_SECRET", "tok_FRESH", "code-SECRET", "verifier-SECRET"})
                QVERIFY2(!line.contains(QLatin1StringView(secret)), qPrintable(line));
        }
    }

    void connectionsAreReused()
    {
        m_server.setScript(
            [](const ReceivedRequest &) { return ScriptedReply::json(200, fixtures::envelope(fixtures::me())); });
        const int before = m_server.connections();
        for (int round = 0; round < 5; ++round) {
            int finished = 0;
            for (int i = 0; i < 3; ++i)
                client().me(this, [&](const Outcome<Me> &) { ++finished; });
            QTRY_COMPARE(finished, 3);
        }
        QVERIFY2(m_server.connections() - before <= 3, qPrintable(QString::number(m_server.connections() - before)));
    }
};

QTEST_GUILESS_MAIN(APIClientTest)
#include "tst_apiclient.moc"
