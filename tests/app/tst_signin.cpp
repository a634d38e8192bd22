// Sign-in end to end with the real pieces: the demo service, a test browser
// that approves on its connect page, the real `vesko` binary launched as the
// second process that carries the callback home, and the user's keyring.
// Runs inside scripts/with-test-session.
#include "app/core/AppModel.h"
#include "app/core/DesktopBrowserSession.h"
#include "app/linux/KeyringSecretStore.h"
#include "app/linux/SingleInstance.h"
#include "tests/support/ConnectPage.h"
#include "tests/support/DevServiceProcess.h"
#include "tests/support/Fakes.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

using namespace vesko;

namespace {

// Plays the user's browser: loads the connect page and presses a button.
// Where the service sends it back to is what the desktop would launch.
class TestBrowser : public UrlOpener
{
public:
    QString decision = u"approve"_s;
    QList<QUrl> callbacks;

    void open(const QUrl &url) override
    {
        QNetworkReply *page = m_network.get(QNetworkRequest(url));
        QObject::connect(page, &QNetworkReply::finished, page, [this, page, url] {
            page->deleteLater();
            const QUrlQuery form = connectForm(page->readAll(), decision);
            QNetworkRequest post(url.adjusted(QUrl::RemoveQuery));
            post.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/x-www-form-urlencoded"));
            post.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
            QNetworkReply *answer = m_network.post(post, form.toString(QUrl::FullyEncoded).toUtf8());
            QObject::connect(answer, &QNetworkReply::finished, answer, [this, answer] {
                answer->deleteLater();
                callbacks.append(answer->header(QNetworkRequest::LocationHeader).toUrl());
            });
        });
    }

private:
    QNetworkAccessManager m_network;
};

// What the desktop does with a vesko: link: start `vesko <url>`.
int launchVesko(const QStringList &arguments)
{
    QProcess vesko;
    QSignalSpy finished(&vesko, &QProcess::finished);
    vesko.start(QStringLiteral(VESKO_BINARY), arguments);
    // Waiting spins the event loop: this process is the one it talks to.
    if (!finished.wait(10000))
        return -1;
    return vesko.exitStatus() == QProcess::NormalExit ? vesko.exitCode() : -1;
}

} // namespace

class SignInTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_runtime;
    std::unique_ptr<DevServiceProcess> m_service;
    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<HttpSession> m_http;
    std::unique_ptr<QSettings> m_settings;
    KeyringSecretStore m_secrets;
    TestBrowser m_browser;
    FakeLoginItem m_login;
    FakeHostName m_host;
    std::unique_ptr<AppModel> m_model;

    int exchanges()
    {
        QNetworkAccessManager network;
        QNetworkRequest request(m_service->url(u"_control/log"_s));
        request.setRawHeader(DevServiceProcess::controlHeader, DevServiceProcess::controlSecret());
        QNetworkReply *log = network.get(request);
        QSignalSpy done(log, &QNetworkReply::finished);
        done.wait(5000);
        log->deleteLater();
        return int(log->readAll().count("/v1/app-auth/token"));
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("VESKO_TEST_KEYRING_PASSWORD"))
            QSKIP("needs the throwaway keyring session of scripts/with-test-session");
        // This process is the running Vesko; the binary launched below is the second one.
        qputenv("XDG_RUNTIME_DIR", m_runtime.path().toUtf8());
        m_service = std::make_unique<DevServiceProcess>();
        QVERIFY2(m_service->failure().isEmpty(), qPrintable(m_service->failure()));
        m_instance = std::make_unique<SingleInstance>();
        QVERIFY(m_instance->listen());
        m_http = std::make_unique<HttpSession>();
        m_settings = std::make_unique<QSettings>(m_runtime.filePath(u"vesko.conf"_s), QSettings::IniFormat);
        m_secrets.remove();
        const QUrl base = m_service->url(QString());
        m_model = std::make_unique<AppModel>(AppModel::Environment{
            .config = VeskoConfig(base, base),
            .secrets = m_secrets,
            .http = *m_http,
            .settings = *m_settings,
            .loginItem = m_login,
            .urls = m_browser,
            .hostName = m_host,
            .browserSessions = [this] { return std::make_unique<DesktopBrowserSession>(m_browser); }});
        connect(m_instance.get(), &SingleInstance::received, m_model.get(), [this](const QStringList &arguments) {
            for (const QString &argument : arguments)
                m_model->handleCallback(QUrl(argument));
        });
    }

    void approvedInTheBrowser()
    {
        int signedIn = 0;
        m_model->onSignedIn = [&] { ++signedIn; };
        m_model->signIn();
        QTRY_COMPARE(m_browser.callbacks.size(), 1);
        const QUrl callback = m_browser.callbacks.last();
        QCOMPARE(callback.scheme(), u"vesko"_s);
        QVERIFY(QUrlQuery(callback).hasQueryItem(u"code"_s));

        QCOMPARE(launchVesko({callback.toString(QUrl::FullyEncoded)}), 0);
        QTRY_VERIFY(m_model->token());
        QCOMPARE(m_secrets.load(), m_model->token());
        QCOMPARE(signedIn, 1);
        QVERIFY(m_model->isLooping());
        QTRY_COMPARE(m_model->phase(), Phase::ready());
        QVERIFY(m_model->summary()->mrr() > 0);

        // The same callback once more, now that no sign-in waits: ignored, no network call.
        const int before = exchanges();
        QCOMPARE(launchVesko({callback.toString(QUrl::FullyEncoded)}), 0);
        QTest::qWait(200);
        QCOMPARE(exchanges(), before);
        QCOMPARE(signedIn, 1);
    }

    void rejectedTokenLeavesTheKeyring()
    {
        QVERIFY(m_secrets.load());
        const QDateTime refreshed = m_model->refreshedAt();
        QNetworkAccessManager network;
        QNetworkRequest control(m_service->url(u"_control"_s));
        control.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
        control.setRawHeader(DevServiceProcess::controlHeader, DevServiceProcess::controlSecret());
        QNetworkReply *set = network.post(control, R"({"summary":{"unauthorized_next":1}})");
        QSignalSpy done(set, &QNetworkReply::finished);
        QVERIFY(done.wait(5000));
        set->deleteLater();

        m_model->refresh();
        QTRY_COMPARE(m_model->phase(), Phase::signedOut());
        QVERIFY(!m_secrets.load());
        QVERIFY(!m_model->isLooping());
        QCOMPARE(m_model->refreshedAt(), refreshed);
    }

    void deniedInTheBrowser()
    {
        m_browser.decision = u"deny"_s;
        m_model->signIn();
        QTRY_COMPARE(m_browser.callbacks.size(), 2);
        QCOMPARE(launchVesko({m_browser.callbacks.last().toString()}), 0);
        QTRY_COMPARE(m_model->phase(), Phase::failed(Phase::signInFailedMessage()));
        QVERIFY(!m_model->token());
    }

    void plainSecondLaunchLeavesAtOnce()
    {
        // A second start with nothing to hand over goes to the running one and exits.
        QSignalSpy received(m_instance.get(), &SingleInstance::received);
        QCOMPARE(launchVesko({}), 0);
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(received.first().first().toStringList(), QStringList());
    }

    void cleanupTestCase()
    {
        m_model.reset();
        m_secrets.remove();
    }
};

QTEST_MAIN(SignInTest)
#include "tst_signin.moc"
