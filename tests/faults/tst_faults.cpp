// The application model with the real transport against the real demo
// service, one fault at a time: what the user then sees, what is kept, and
// that the token reaches neither another origin nor a log line.
#include "app/core/AppModel.h"
#include "tests/support/Fakes.h"
#include "tests/support/ServiceFixture.h"

#include <QJsonArray>
#include <QLoggingCategory>
#include <QMutex>
#include <QRegularExpression>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace vesko;
using namespace std::chrono_literals;

// What one fault comes to. `published`: not a fault after all.
enum class Expect {
    offline,
    loadFailed,
    signedOut,
    published
};
Q_DECLARE_METATYPE(Expect)

namespace {

const QDateTime t0 = QDateTime::fromSecsSinceEpoch(1772357400, Qt::UTC);
const QDateTime t1 = t0.addSecs(60);

// Short limits, so that a stall or a drip ends in well under two seconds.
const HttpSession::Limits limits{.idleTimeout = 600ms, .deadline = 1500ms};

// Every message of every category, debug included, as "category: text".
QMutex logMutex;
QStringList logLines;
QtMessageHandler testHandler = nullptr;

void capture(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    {
        const QMutexLocker lock(&logMutex);
        logLines.append(QString::fromLatin1(context.category ? context.category : "default") + u": "_s + message);
    }
    if (type != QtDebugMsg && type != QtInfoMsg) // Qt Test still counts and shows warnings
        testHandler(type, context, message);
}

// Another origin on loopback, as a redirect's target: records whatever is sent to it and never answers.
class Bystander
{
public:
    Bystander()
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection())
                QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                 [this, socket] { received += socket->readAll(); });
        });
    }
    QString url(const QString &path) const { return u"http://127.0.0.1:%1/%2"_s.arg(m_server.serverPort()).arg(path); }

    QByteArray received;

private:
    QTcpServer m_server;
};

// A launch with a stored token: the model starts loading at once.
struct Launch
{
    FakeSecretStore secrets;
    HttpSession http{limits};
    QDateTime clock = t0;
    std::unique_ptr<AppModel> model;
};

} // namespace

class FaultsTest : public QObject, private ServiceFixture
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QSettings m_settings{m_dir.filePath(u"vesko.conf"_s), QSettings::IniFormat};
    FakeLoginItem m_login;
    FakeUrlOpener m_urls;
    FakeHostName m_host;
    Bystander m_bystander;

    std::unique_ptr<Launch> launch(const QString &token, const QUrl &base)
    {
        auto l = std::make_unique<Launch>();
        l->secrets.stored = token;
        l->model = std::make_unique<AppModel>(AppModel::Environment{
            .config = VeskoConfig(base, base),
            .secrets = l->secrets,
            .http = l->http,
            .settings = m_settings,
            .loginItem = m_login,
            .urls = m_urls,
            .hostName = m_host,
            .browserSessions = [] { return std::make_unique<FakeBrowserSession>(); },
            .loopTimer = std::make_unique<FakeSleepTimer>(), // one turn only: the test refreshes by hand
            .now = [clock = &l->clock] { return *clock; }});
        return l;
    }

private slots:
    void initTestCase()
    {
        testHandler = qInstallMessageHandler(capture);
        QLoggingCategory::setFilterRules(u"*=true"_s);
    }
    void cleanupTestCase() { qInstallMessageHandler(testHandler); }

    void init()
    {
        if (m_service)
            QCOMPARE(call("POST", u"_control/reset"_s).status(), 200);
        else
            restart(); // the last case took it away
        QCOMPARE(call("POST", u"_control/log/clear"_s).status(), 204);
        m_bystander.received.clear();
        // A fault is an everyday event: it must not fill the user's log with warnings.
        QTest::failOnWarning(QRegularExpression(u"."_s));
        const QMutexLocker lock(&logMutex);
        logLines.clear();
    }

    void faults_data()
    {
        QTest::addColumn<QString>("endpoint");
        QTest::addColumn<QJsonObject>("fault"); // for `endpoint`; none: the service is gone
        QTest::addColumn<Expect>("expect");

        QTest::newRow("refused") << QString() << QJsonObject() << Expect::offline;
        const qint64 cap = HttpSession::Limits{}.maxBodyBytes;
        for (const QString &endpoint : {u"summary"_s, u"events"_s, u"me"_s}) {
            const QList<std::tuple<const char *, QJsonObject, Expect>> faults{
                {"stall", {{u"stall"_s, true}}, Expect::offline}, // the idle timeout
                // A byte a millisecond through a long body: never idle, so only the deadline ends it.
                {"trickle", {{u"trickle_ms"_s, 1}, {u"oversize_bytes"_s, 100'000}}, Expect::offline},
                {"truncated", {{u"truncate"_s, true}}, Expect::offline}, // Content-Length promised more
                {"reset", {{u"reset"_s, true}}, Expect::offline},
                {"503", {{u"status"_s, 503}}, Expect::loadFailed},
                {"401", {{u"unauthorized_next"_s, 2}}, Expect::signedOut}, // one for each model
                {"cross-origin redirect",
                 {{u"redirect_to"_s, m_bystander.url(u"v1/"_s + endpoint)}},
                 Expect::loadFailed},
                {"oversize", {{u"oversize_bytes"_s, cap + 1}}, Expect::offline},
                {"malformed", {{u"malformed"_s, true}}, Expect::loadFailed},
                {"wrong types", {{u"wrong_types"_s, true}}, Expect::loadFailed},
            };
            for (const auto &[name, fault, expect] : faults)
                QTest::addRow("%s %s", qPrintable(endpoint), name) << endpoint << fault << expect;
        }
        // The cap itself is still an answer.
        QTest::newRow("summary at the size cap")
            << u"summary"_s << QJsonObject{{u"oversize_bytes"_s, cap}} << Expect::published;
    }

    // Two models meet each fault: one holding data from a good refresh, and
    // one fresh from launch, which shows what a failure says.
    void faults()
    {
        QFETCH(QString, endpoint);
        QFETCH(QJsonObject, fault);
        QFETCH(Expect, expect);
        const QString token = QString::fromLatin1(bearer().mid(int(strlen("Bearer "))));
        QVERIFY(!token.isEmpty());
        const QUrl base = m_service->url(QString());

        const auto held = launch(token, base);
        QTRY_COMPARE_WITH_TIMEOUT(held->model->phase(), Phase::ready(), 5000);
        const std::optional<Summary> summary = held->model->summary();
        const QList<VeskoEvent> events = held->model->events();
        const std::optional<Me> me = held->model->me();
        QVERIFY(summary && me && !events.isEmpty());

        if (endpoint.isEmpty())
            m_service.reset();
        else
            QCOMPARE(control(QJsonDocument(QJsonObject{{endpoint, fault}}).toJson()).status(), 200);

        held->clock = t1;
        QObject scope; // ends the connection below with this function
        std::optional<Refresh::Result> result;
        connect(held->model->refresh(), &Refresh::finished, &scope, [&](const Refresh::Result &r) { result = r; });
        const auto fresh = launch(token, base);
        QTRY_VERIFY_WITH_TIMEOUT(result && fresh->model->phase() != Phase::loading(), 5000);

        // The token: never sent to another origin...
        QVERIFY2(!m_bystander.received.contains(token.toLatin1())
                     && !m_bystander.received.toLower().contains("authorization"),
                 m_bystander.received.constData());
        // ...only ever in the Authorization header at the service...
        if (m_service) {
            const QJsonArray arrived = QJsonDocument::fromJson(call("GET", u"_control/log"_s).body).array();
            QVERIFY(!arrived.isEmpty());
            for (const QJsonValue entry : arrived) {
                QVERIFY(!entry[u"path"_s].toString().contains(token));
                QVERIFY(!entry[u"query"_s].toString().contains(token));
                QVERIFY(!entry[u"body"_s].toString().contains(token));
                QCOMPARE(entry[u"headers"_s][u"Authorization"_s].toString(), u"Bearer "_s + loggedAs(token.toLatin1()));
            }
        }
        // ...and in no log line of any category at any level.
        {
            const QMutexLocker lock(&logMutex);
            QVERIFY2(!logLines.filter(u"vesko.http: "_s).isEmpty(), "debug output was not captured");
            const QStringList leaks = logLines.filter(token);
            QVERIFY2(leaks.isEmpty(), qPrintable(leaks.join(u'\n')));
        }

        const AppModel &kept = *held->model;
        const bool failed = expect == Expect::offline || expect == Expect::loadFailed;
        const bool out = expect == Expect::signedOut;
        QCOMPARE(std::holds_alternative<Refresh::Failure>(*result), expect != Expect::published);
        // With figures on screen a failure shows nothing and keeps them; a 401 signs out and clears all.
        QCOMPARE(kept.phase(), out ? Phase::signedOut() : Phase::ready());
        QCOMPARE(kept.token().has_value(), !out);
        QCOMPARE(held->secrets.stored.has_value(), !out);
        QCOMPARE(kept.isLooping(), !out);
        QCOMPARE(kept.summary().has_value(), !out);
        QCOMPARE(kept.me().has_value(), !out);
        QCOMPARE(kept.events().isEmpty(), out);
        QCOMPARE(kept.refreshedAt(), expect == Expect::published ? t1 : t0); // never rewound, not even by a sign-out
        if (failed) {
            QCOMPARE(kept.summary(), summary);
            QCOMPARE(kept.events(), events);
            QCOMPARE(kept.me(), me);
        }
        // Without figures, the failure's own text.
        const Phase shown = expect == Expect::offline      ? Phase::failed(Phase::offlineMessage())
                            : expect == Expect::loadFailed ? Phase::failed(Phase::loadFailedMessage())
                            : out                          ? Phase::signedOut()
                                                           : Phase::ready();
        QCOMPARE(fresh->model->phase(), shown);
        QCOMPARE(fresh->model->summary().has_value(), expect == Expect::published);
    }
};

QTEST_GUILESS_MAIN(FaultsTest)
#include "tst_faults.moc"
