// The keyring out of reach, under the real store and the application model:
// the model starts signed out, nothing waits, a sign-in still works for the
// run, and the token it could not keep is nowhere on disk. VESKO_TEST_KEYCHAIN
// names the fault; one per process (tests/faults/CMakeLists.txt).
// libsecret first: GLib names a struct field "signals", which Qt defines as a
// macro. Unstable API for the secret encoding of the password unlock below.
#define SECRET_WITH_UNSTABLE
#define SECRET_API_SUBJECT_TO_CHANGE
#include <libsecret/secret.h>

#include "app/core/AppModel.h"
#include "app/linux/KeyringSecretStore.h"
#include "tests/support/Fakes.h"
#include "tests/support/ServiceFixture.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>

using namespace Qt::StringLiterals;

using namespace vesko;

namespace {

const QString mode = qEnvironmentVariable("VESKO_TEST_KEYCHAIN");
const QString earlier = u"tok-kept-before-the-lock"_s;
// A hang guard, far above a working call and far below D-Bus's 25 s timeout.
constexpr qint64 boundMs = 5000;

// The default collection locked through the Secret Service, or unlocked with
// the session's password through gnome-keyring's own interface (the Secret
// Service way takes a prompt).
bool setLocked(bool locked)
{
    g_autoptr(SecretService) service =
        secret_service_open_sync(SECRET_TYPE_SERVICE, nullptr, SECRET_SERVICE_OPEN_SESSION, nullptr, nullptr);
    g_autoptr(SecretCollection) collection =
        service ? secret_collection_for_alias_sync(service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr,
                                                   nullptr)
                : nullptr;
    if (!collection)
        return false;
    if (locked) {
        GList one{collection, nullptr, nullptr};
        return secret_service_lock_sync(service, &one, nullptr, nullptr, nullptr) == 1;
    }
    const QByteArray password = qgetenv("VESKO_TEST_KEYRING_PASSWORD");
    g_autoptr(SecretValue) value = secret_value_new(password.constData(), password.size(), "text/plain");
    g_autoptr(GVariant) reply = g_dbus_connection_call_sync(
        g_dbus_proxy_get_connection(G_DBUS_PROXY(service)), "org.freedesktop.secrets", "/org/freedesktop/secrets",
        "org.gnome.keyring.InternalUnsupportedGuiltRiddenInterface", "UnlockWithMasterPassword",
        g_variant_new("(o@(oayays))", g_dbus_proxy_get_object_path(G_DBUS_PROXY(collection)),
                      secret_service_encode_dbus_secret(service, value)),
        nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    return reply != nullptr;
}

// Takes a bus name and never answers calls to it: anything that asks hangs.
void ownSilently(const char *name)
{
    g_autofree gchar *address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    const auto flags = GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT
                                            | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION);
    // Lives as long as the process.
    GDBusConnection *prompter = g_dbus_connection_new_for_address_sync(address, flags, nullptr, nullptr, nullptr);
    const GDBusMessageFilterFunction dropCalls = [](GDBusConnection *, GDBusMessage *message, gboolean incoming,
                                                    gpointer) -> GDBusMessage * {
        if (!incoming || g_dbus_message_get_message_type(message) != G_DBUS_MESSAGE_TYPE_METHOD_CALL)
            return message;
        g_object_unref(message);
        return nullptr;
    };
    g_dbus_connection_add_filter(prompter, dropCalls, nullptr, nullptr);
    // Asked and answered before this returns: nobody asks too early and finds nobody there.
    g_autoptr(GVariant) owned = g_dbus_connection_call_sync(
        prompter, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
        g_variant_new("(su)", name, 4u /* do not queue */), nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    (void)owned; // only held to be freed: the round trip is the point
}

// Gnome-keyring's unlock dialog, as on a desktop where nobody attends to the prompt.
void ignorePrompts()
{
    ownSilently("org.gnome.keyring.SystemPrompter");
}

// A bus address whose socket takes connections and never says a word: the
// kernel queues them, nobody accepts.
QByteArray silentBus(const QString &folder)
{
    const QByteArray path = QFile::encodeName(folder + u"/silent-bus"_s);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof address.sun_path)
        return {};
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0); // open as long as the process
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || listen(listener, 16) != 0)
        return {};
    return "unix:path=" + path;
}

// Every regular file under the session's home and XDG directories that holds `needle`.
QStringList filesHolding(const QByteArray &needle)
{
    QStringList roots{qEnvironmentVariable("HOME")};
    for (const char *name :
         {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"}) {
        if (qEnvironmentVariableIsSet(name))
            roots << qEnvironmentVariable(name);
    }
    QStringList found;
    for (const QString &root : roots) {
        QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (file.open(QIODevice::ReadOnly) && file.readAll().contains(needle) && !found.contains(file.fileName()))
                found << file.fileName();
        }
    }
    return found;
}

} // namespace

class KeychainFaultsTest : public QObject, private ServiceFixture
{
    Q_OBJECT

    QSettings m_settings{qEnvironmentVariable("HOME") + u"/vesko-faults.conf"_s, QSettings::IniFormat};
    HttpSession m_http;
    KeyringSecretStore m_secrets;
    FakeLoginItem m_login;
    FakeUrlOpener m_urls;
    FakeHostName m_host;

    std::unique_ptr<AppModel> launch(bool tokenInBackground = false)
    {
        const QUrl base = m_service->url(QString());
        return std::make_unique<AppModel>(
            AppModel::Environment{.config = VeskoConfig(base, base),
                                  .secrets = m_secrets,
                                  .http = m_http,
                                  .settings = m_settings,
                                  .loginItem = m_login,
                                  .urls = m_urls,
                                  .hostName = m_host,
                                  .browserSessions = [] { return std::make_unique<FakeBrowserSession>(); },
                                  .loopTimer = std::make_unique<FakeSleepTimer>(),
                                  .tokenInBackground = tokenInBackground});
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(mode == u"locked" || mode == u"no_service" || mode == u"no_bus", "VESKO_TEST_KEYCHAIN names no fault");
        // Locking and searching the disk: only ever inside a throwaway session.
        QVERIFY2(mode != u"locked" || qEnvironmentVariableIsSet("VESKO_TEST_KEYRING_PASSWORD"),
                 "needs scripts/with-test-session");
        restart();
    }

    void signInWithoutKeyring()
    {
        if (mode == u"locked") {
            m_secrets.save(earlier);
            QCOMPARE(m_secrets.load(), earlier);
            QVERIFY(setLocked(true));
            ignorePrompts();
        }
        QElapsedTimer timer;
        timer.start();
        std::unique_ptr<AppModel> model = launch();
        QCOMPARE_LT(timer.elapsed(), boundMs);
        QCOMPARE(model->phase(), Phase::signedOut());
        QVERIFY(!model->isLooping());

        // Approved on the service's connect page; the callback comes back.
        model->signIn();
        QVERIFY(!FakeBrowserSession::all.isEmpty());
        const QString challenge = QUrlQuery(FakeBrowserSession::all.last()->started).queryItemValue(u"challenge"_s);
        const QString code = approve(challenge);
        QVERIFY(!code.isEmpty());
        QUrlQuery callback;
        callback.addQueryItem(u"code"_s, code);
        timer.restart();
        QVERIFY(model->handleCallback(QUrl(u"vesko://callback?"_s + callback.toString(QUrl::FullyEncoded))));
        QTRY_VERIFY_WITH_TIMEOUT(model->token(), boundMs);
        QCOMPARE_LT(timer.elapsed(), boundMs);
        const QString token = *model->token();
        // Signed in for this run all the same.
        QTRY_COMPARE_WITH_TIMEOUT(model->phase(), Phase::ready(), boundMs);

        // Kept nowhere: the next launch starts signed out, and no file holds it.
        QVERIFY(!launch()->isSignedIn());
        const QString canary = qEnvironmentVariable("HOME") + u"/canary"_s;
        QFile file(canary);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(token.toUtf8()) > 0);
        file.close();
        QCOMPARE(filesHolding(token.toUtf8()), QStringList{canary}); // the search does reach the home
        QVERIFY(file.remove());

        timer.restart();
        model->signOut();
        QCOMPARE_LT(timer.elapsed(), boundMs);
        QCOMPARE(model->phase(), Phase::signedOut());

        if (mode == u"locked") {
            // The token stored before the lock is still there once unlocked.
            QVERIFY(setLocked(false));
            QCOMPARE(m_secrets.load(), earlier);
        }
    }

    // Last: it leaves the keyring unreachable. A frozen keyring daemon (its
    // name owned, no answers) or a bus that never answers costs each call its
    // deadline at most, never D-Bus's 25 s or for ever, and the model comes up.
    void keyringThatNeverAnswers_data()
    {
        QTest::addColumn<QString>("call");
        for (const char *call : {"launch", "launch in background", "save", "remove", "removeIfStill"})
            QTest::newRow(call) << QString::fromLatin1(call);
    }
    void keyringThatNeverAnswers()
    {
        QFETCH(QString, call);
        static QTemporaryDir folder;
        static const bool silenced = [] {
            if (mode == u"no_service")
                ownSilently("org.freedesktop.secrets");
            else if (mode == u"no_bus")
                qputenv("DBUS_SESSION_BUS_ADDRESS", silentBus(folder.path()));
            return mode != u"locked";
        }();
        if (!silenced)
            QSKIP("the locked keyring answers");
        QVERIFY(qgetenv("DBUS_SESSION_BUS_ADDRESS").startsWith("unix:"));
        const qint64 bound = KeyringSecretStore::deadline().count() + 1500;
        QElapsedTimer timer;
        timer.start();
        if (call == u"launch") {
            QCOMPARE(launch()->phase(), Phase::signedOut());
        } else if (call == u"launch in background") {
            const std::unique_ptr<AppModel> model = launch(true);
            QVERIFY(model->isTokenPending());
            QTRY_VERIFY_WITH_TIMEOUT(!model->isTokenPending(), int(bound));
            QCOMPARE(model->phase(), Phase::signedOut());
        } else if (call == u"save")
            m_secrets.save(u"tok-nowhere"_s);
        else if (call == u"remove")
            m_secrets.remove();
        else
            m_secrets.removeIfStill(u"tok-nowhere"_s);
        QCOMPARE_LT(timer.elapsed(), bound);
    }
};

int main(int argc, char *argv[])
{
    // Without a keyring session of its own, a home of its own to search afterwards.
    QTemporaryDir scratch;
    if (qEnvironmentVariable("VESKO_TEST_KEYCHAIN") != u"locked") {
        if (!scratch.isValid())
            return 1;
        const QList<std::pair<const char *, const char *>> dirs{{"HOME", "home"},
                                                                {"XDG_RUNTIME_DIR", "runtime"},
                                                                {"XDG_CONFIG_HOME", "home/.config"},
                                                                {"XDG_DATA_HOME", "home/.local/share"},
                                                                {"XDG_CACHE_HOME", "home/.cache"},
                                                                {"XDG_STATE_HOME", "home/.local/state"}};
        for (const auto &[name, path] : dirs) {
            const QString dir = scratch.filePath(QString::fromLatin1(path));
            if (!QDir().mkpath(dir)
                || !QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
                return 1;
            qputenv(name, dir.toLocal8Bit());
        }
    }
    // A store on libsecret's password API would fall back to this file and
    // hand the token back to the next launch.
    qputenv("SECRET_BACKEND", "file");
    qputenv("SECRET_FILE_TEST_PATH", (qEnvironmentVariable("HOME") + u"/fallback.keyring"_s).toLocal8Bit());
    qputenv("SECRET_FILE_TEST_PASSWORD", "trap");
    QCoreApplication app(argc, argv);
    KeychainFaultsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_keychain_faults.moc"
