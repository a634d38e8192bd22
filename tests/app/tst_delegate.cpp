// The application delegate against fakes of the desktop and a scripted
// service: launch, push registration, arriving pushes, clicks and reopening.
#include "app/core/AppDelegate.h"
#include "app/core/DeviceToken.h"
#include "tests/support/Fakes.h"
#include "tests/support/ScriptedService.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace vesko;
using namespace std::chrono_literals;

namespace {

// Everything one launch needs, fresh for each test.
struct Rig
{
    ScriptedService service;
    HttpSession http{HttpSession::Limits{.idleTimeout = 300ms, .deadline = 2s, .maxBodyBytes = 1 << 20}};
    QTemporaryDir dir;
    QSettings settings{dir.filePath(u"vesko.conf"_s), QSettings::IniFormat};
    FakeSecretStore secrets;
    SlowSecretStore slowSecrets;
    FakeLoginItem login;
    FakeUrlOpener urls;
    FakeHostName host;
    FakeNotifier notifier;
    FakePushTransport push;
    FakeScene scene;
    QStringList log;
    std::unique_ptr<AppDelegate> delegate;

    // In the background: the keyring answers at slowSecrets.answer().
    AppDelegate &launch(std::optional<QString> token, bool inBackground = false)
    {
        secrets.stored = slowSecrets.stored = std::move(token);
        SecretStore &store = inBackground ? slowSecrets : secrets;
        delegate = std::make_unique<AppDelegate>(
            AppModel::Environment{.config = VeskoConfig(service.origin(), QUrl(u"https://web.example/base"_s)),
                                  .secrets = store,
                                  .http = http,
                                  .settings = settings,
                                  .loginItem = login,
                                  .urls = urls,
                                  .hostName = host,
                                  .browserSessions = [] { return std::make_unique<FakeBrowserSession>(); },
                                  .loopTimer = std::make_unique<FakeSleepTimer>(),
                                  .tokenInBackground = inBackground},
            notifier, push, [this](const QString &line) { log << line; });
        delegate->finishLaunching(scene);
        return *delegate;
    }
    QList<ReceivedRequest> devices() const
    {
        QList<ReceivedRequest> found;
        for (const ReceivedRequest &r : service.server.requests())
            if (r.target == "/v1/devices")
                found << r;
        return found;
    }
};

const QString stored = u"tok_stored"_s;

} // namespace

class DelegateTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<Rig> m_rig;

private slots:
    void init()
    {
        FakeBrowserSession::all.clear();
        m_rig = std::make_unique<Rig>();
    }
    void cleanup() { m_rig.reset(); }

    void launch_data()
    {
        QTest::addColumn<QString>("token"); // empty: signed out
        QTest::addColumn<bool>("available");
        QTest::addColumn<int>("registrations");
        QTest::addColumn<bool>("inBackground"); // the token arrives after the launch
        QTest::newRow("signed out") << QString() << true << 0 << false;
        QTest::newRow("signed in") << stored << true << 1 << false;
        QTest::newRow("signed in, no notification server") << stored << false << 0 << false;
        QTest::newRow("signed out, read later") << QString() << true << 0 << true;
        QTest::newRow("signed in, read later") << stored << true << 1 << true;
    }
    void launch()
    {
        QFETCH(QString, token);
        QFETCH(bool, available);
        QFETCH(int, registrations);
        QFETCH(bool, inBackground);
        Rig &rig = *m_rig;
        rig.notifier.available = available;
        rig.launch(token.isEmpty() ? std::nullopt : std::optional(token), inBackground);
        QCOMPARE(rig.push.requests, 0); // never from inside the launch
        QCOMPARE(rig.scene.welcomes, 1);
        if (inBackground) {
            QTest::qWait(50);
            QCOMPARE(rig.push.requests, 0); // nothing to register with yet
            rig.slowSecrets.answer();
        }
        QTest::qWait(100);
        QCOMPARE(rig.push.requests, registrations);
        QTRY_COMPARE_WITH_TIMEOUT(rig.devices().size(), registrations, 2000);
        if (registrations == 0)
            return;
        const ReceivedRequest device = rig.devices().first();
        QCOMPARE(device.method, QByteArray("POST"));
        QCOMPARE(device.headers.value("authorization"), "Bearer " + token.toUtf8());
        QCOMPARE(QJsonDocument::fromJson(device.body).object(), (QJsonObject{{u"platform"_s, u"linux"_s},
                                                                             {u"push_token"_s, u"0aff00c0ffee"_s},
                                                                             {u"environment"_s, u"production"_s}}));
        QVERIFY(rig.log.isEmpty());
    }

    void everySignInEnablesPush()
    {
        Rig &rig = *m_rig;
        AppDelegate &delegate = rig.launch(stored);
        QTRY_COMPARE(rig.devices().size(), 1);
        delegate.model().signOut();
        delegate.model().signIn();
        QVERIFY(FakeBrowserSession::all.last()->receive(QUrl(u"vesko://callback?code=abc"_s)));
        QTRY_COMPARE(rig.devices().size(), 2);
        QCOMPARE(rig.push.requests, 2);
        QCOMPARE(rig.devices().last().headers.value("authorization"), QByteArray("Bearer tok_new"));
    }

    void failedRegistrationIsLoggedOnly()
    {
        Rig &rig = *m_rig;
        rig.push.token.reset();
        rig.launch(stored);
        QTRY_COMPARE(rig.log, QStringList{u"Vesko: push registration failed: no service (100%s sure)"_s});
        QTest::qWait(50);
        QCOMPARE(rig.log.size(), 1);
        QVERIFY(rig.devices().isEmpty());
        QVERIFY(rig.notifier.shown.isEmpty());
    }

    // A push and present() alike: a refresh, and the notification at once unless it is silent.
    void arrivals_data()
    {
        QTest::addColumn<bool>("viaPush");
        QTest::addColumn<Notification>("notification");
        QTest::addColumn<bool>("shown");
        const Notification sale{u"New sale"_s, u"Ada bought Pro"_s, u"default"_s};
        QTest::newRow("push") << true << sale << true;
        QTest::newRow("silent push") << true << Notification{u""_s, u"ignored"_s, u"default"_s} << false;
        QTest::newRow("present") << false << sale << true;
    }
    void arrivals()
    {
        QFETCH(bool, viaPush);
        QFETCH(Notification, notification);
        QFETCH(bool, shown);
        Rig &rig = *m_rig;
        AppDelegate &delegate = rig.launch(stored);
        QTRY_COMPARE(rig.service.count("/v1/summary"), 1);
        QTest::qWait(50); // the launch's registration settles first
        if (viaPush)
            rig.push.push(notification);
        else
            delegate.present(notification);
        QCOMPARE(rig.notifier.shown, shown ? QList{notification} : QList<Notification>());
        QTRY_COMPARE(rig.service.count("/v1/summary"), 2);
        QTest::qWait(50);
        QCOMPARE(rig.service.count("/v1/summary"), 2);
        QCOMPARE(rig.notifier.shown.size(), int(shown));
    }

    void clickOpensDashboard()
    {
        Rig &rig = *m_rig;
        rig.launch(std::nullopt);
        rig.notifier.click();
        QCOMPARE(rig.urls.opened, QList{QUrl(u"https://web.example/base/app"_s)});
    }

    void reopenOpensThePanelEachTime()
    {
        Rig &rig = *m_rig;
        AppDelegate &delegate = rig.launch(std::nullopt);
        delegate.reopen();
        delegate.reopen();
        QCOMPARE(rig.scene.panels, 2);
        QCOMPARE(rig.scene.welcomes, 1);
    }

    void deviceTokenText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QByteArray() << "";
        QTest::newRow("one zero byte") << QByteArray(1, '\0') << "00";
        QTest::newRow("high and low") << QByteArray::fromHex("0AFF00") << "0aff00";
        QTest::newRow("16 bytes") << QByteArray::fromHex("80FF7F00DEADBEEF0123456789ABCDEF")
                                  << "80ff7f00deadbeef0123456789abcdef";
    }
    void deviceTokenText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(vesko::deviceTokenText(bytes), text);
    }
};

QTEST_GUILESS_MAIN(DelegateTest)
#include "tst_delegate.moc"
