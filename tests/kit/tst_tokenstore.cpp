// The token store against a real gnome-keyring (run through scripts/with-test-session),
// and, with VESKO_TEST_NO_SECRET_SERVICE set, where no Secret Service answers.
// GLib's headers name a struct field "signals", which Qt defines as a macro:
// libsecret comes before any Qt header.
#include <libsecret/secret.h>

#include "TokenStore.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QMap>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <functional>
#include <memory>

namespace TokenStore = vesko::TokenStore;

namespace {

// Where the app files its token. Pinned here on purpose: a store that moved it
// would lose every signed-in user's token.
const char *const ourService = "app.vesko.Vesko";
const char *const ourAccount = "api-token";
// Same account, someone else's service: never ours to touch.
const char *const otherService = "org.example.Other";

// Longest any operation may take when the keyring cannot answer: far below a
// hang, far above a busy machine's hiccup.
constexpr qint64 patienceMs = 2000;

qint64 millisecondsFor(const std::function<void()> &operation)
{
    QElapsedTimer timer;
    timer.start();
    operation();
    return timer.elapsed();
}

QString describe(const std::optional<QString> &token)
{
    return token ? u'"' + *token + u'"' : QStringLiteral("nothing");
}

struct Release
{
    void operator()(gpointer object) const { g_object_unref(object); }
    void operator()(GHashTable *table) const { g_hash_table_unref(table); }
    void operator()(GList *objects) const { g_list_free_full(objects, g_object_unref); }
};
template <typename T>
using Owned = std::unique_ptr<T, Release>;

// The keyring as the test sees it, through libsecret directly: a fresh
// connection each time, so nothing cached can hide what is stored.
Owned<SecretService> openService()
{
    return Owned<SecretService>(
        secret_service_open_sync(SECRET_TYPE_SERVICE, nullptr, SECRET_SERVICE_OPEN_SESSION, nullptr, nullptr));
}

Owned<GHashTable> addressOf(const char *service, const char *extraKey = nullptr, const char *extraValue = nullptr)
{
    GHashTable *attributes = g_hash_table_new(g_str_hash, g_str_equal);
    g_hash_table_insert(attributes, const_cast<char *>("service"), const_cast<char *>(service));
    g_hash_table_insert(attributes, const_cast<char *>("account"), const_cast<char *>(ourAccount));
    if (extraKey)
        g_hash_table_insert(attributes, const_cast<char *>(extraKey), const_cast<char *>(extraValue));
    return Owned<GHashTable>(attributes);
}

Owned<SecretCollection> defaultCollection(SecretService *service)
{
    return Owned<SecretCollection>(
        secret_collection_for_alias_sync(service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, nullptr));
}

struct StoredItem
{
    QByteArray secret;
    QString label;
    QMap<QString, QString> attributes;
};

QList<StoredItem> storedItems(const char *service = ourService)
{
    QList<StoredItem> result;
    const auto keyring = openService();
    if (!keyring)
        return result;
    const auto flags = SecretSearchFlags(SECRET_SEARCH_ALL | SECRET_SEARCH_LOAD_SECRETS);
    const Owned<GList> found(
        secret_service_search_sync(keyring.get(), nullptr, addressOf(service).get(), flags, nullptr, nullptr));
    for (GList *node = found.get(); node; node = node->next) {
        auto *item = static_cast<SecretItem *>(node->data);
        StoredItem stored;
        if (SecretValue *value = secret_item_get_secret(item)) {
            gsize length = 0;
            const gchar *data = secret_value_get(value, &length);
            stored.secret = QByteArray(data, qsizetype(length));
            secret_value_unref(value);
        }
        gchar *label = secret_item_get_label(item);
        stored.label = QString::fromUtf8(label);
        g_free(label);
        const Owned<GHashTable> attributes(secret_item_get_attributes(item));
        GHashTableIter it;
        gpointer key = nullptr;
        gpointer value = nullptr;
        g_hash_table_iter_init(&it, attributes.get());
        while (g_hash_table_iter_next(&it, &key, &value))
            stored.attributes.insert(QString::fromUtf8(static_cast<const char *>(key)),
                                     QString::fromUtf8(static_cast<const char *>(value)));
        result.append(stored);
    }
    return result;
}

QList<QByteArray> storedSecrets(const char *service = ourService)
{
    QList<QByteArray> secrets;
    for (const StoredItem &item : storedItems(service))
        secrets.append(item.secret);
    return secrets;
}

// A new item beside any that exist (libsecret's store would replace them).
bool addItem(const QByteArray &secret, const char *service = ourService, const char *extraKey = nullptr,
             const char *extraValue = nullptr)
{
    const auto keyring = openService();
    if (!keyring)
        return false;
    const auto collection = defaultCollection(keyring.get());
    if (!collection)
        return false;
    SecretValue *value = secret_value_new(secret.constData(), secret.size(), "text/plain");
    const auto attributes = addressOf(service, extraKey, extraValue);
    const Owned<SecretItem> item(secret_item_create_sync(collection.get(), nullptr, attributes.get(), "written by the test", value,
                                                         SECRET_ITEM_CREATE_NONE, nullptr, nullptr));
    secret_value_unref(value);
    return bool(item);
}

void deleteItems(const char *service)
{
    const auto keyring = openService();
    if (!keyring)
        return;
    const Owned<GList> found(
        secret_service_search_sync(keyring.get(), nullptr, addressOf(service).get(), SECRET_SEARCH_ALL, nullptr, nullptr));
    for (GList *node = found.get(); node; node = node->next)
        secret_item_delete_sync(static_cast<SecretItem *>(node->data), nullptr, nullptr);
}

bool lockDefaultCollection()
{
    const auto keyring = openService();
    const auto collection = keyring ? defaultCollection(keyring.get()) : nullptr;
    if (!collection)
        return false;
    GList objects{collection.get(), nullptr, nullptr};
    return secret_service_lock_sync(keyring.get(), &objects, nullptr, nullptr, nullptr) == 1;
}

bool defaultCollectionLocked()
{
    const auto keyring = openService();
    const auto collection = keyring ? defaultCollection(keyring.get()) : nullptr;
    return collection && secret_collection_get_locked(collection.get());
}

// Unlocks with the password the session script gave the keyring, through
// gnome-keyring's own interface: the standard Unlock needs a prompt.
bool unlockDefaultCollection()
{
    const QByteArray password = qgetenv("VESKO_TEST_KEYRING_PASSWORD");
    const auto keyring = openService();
    const auto collection = keyring ? defaultCollection(keyring.get()) : nullptr;
    if (!collection)
        return false;
    GDBusConnection *bus = g_dbus_proxy_get_connection(G_DBUS_PROXY(keyring.get()));
    GVariant *opened = g_dbus_connection_call_sync(bus, "org.freedesktop.secrets", "/org/freedesktop/secrets",
                                                   "org.freedesktop.Secret.Service", "OpenSession",
                                                   g_variant_new("(sv)", "plain", g_variant_new_string("")),
                                                   G_VARIANT_TYPE("(vo)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    if (!opened)
        return false;
    GVariant *output = nullptr;
    const gchar *session = nullptr;
    g_variant_get(opened, "(v&o)", &output, &session);
    GVariant *secret = g_variant_new("(o@ay@ays)", session, g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, "", 0, 1),
                                     g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, password.constData(), password.size(), 1),
                                     "text/plain");
    GVariant *unlocked = g_dbus_connection_call_sync(
        bus, "org.freedesktop.secrets", "/org/freedesktop/secrets", "org.gnome.keyring.InternalUnsupportedGuiltRiddenInterface",
        "UnlockWithMasterPassword",
        g_variant_new("(o@(oayays))", g_dbus_proxy_get_object_path(G_DBUS_PROXY(collection.get())), secret),
        nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    g_variant_unref(output);
    g_variant_unref(opened);
    if (unlocked)
        g_variant_unref(unlocked);
    return unlocked != nullptr;
}

// Takes the bus names through which gnome-keyring shows its unlock dialog and
// counts every call that arrives. The calls fail (nothing is served), so a
// prompt ends at once instead of waiting for someone to answer it.
class PrompterSpy
{
public:
    PrompterSpy()
    {
        gchar *address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        const auto flags =
            GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION);
        m_bus = address ? g_dbus_connection_new_for_address_sync(address, flags, nullptr, nullptr, nullptr) : nullptr;
        g_free(address);
        if (!m_bus)
            return;
        g_dbus_connection_add_filter(m_bus, &PrompterSpy::count, this, nullptr);
        m_listening = own("org.gnome.keyring.SystemPrompter") && own("org.gnome.keyring.PrivatePrompter");
    }
    ~PrompterSpy()
    {
        if (m_bus) {
            g_dbus_connection_close_sync(m_bus, nullptr, nullptr);
            g_object_unref(m_bus);
        }
    }
    PrompterSpy(const PrompterSpy &) = delete;
    PrompterSpy &operator=(const PrompterSpy &) = delete;

    bool listening() const { return m_listening; }
    int calls() const { return m_calls.load(); }

private:
    bool own(const char *name)
    {
        GVariant *reply = g_dbus_connection_call_sync(m_bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                                      "RequestName", g_variant_new("(su)", name, 4u /* do not queue */),
                                                      G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
        if (!reply)
            return false;
        guint32 result = 0;
        g_variant_get(reply, "(u)", &result);
        g_variant_unref(reply);
        return result == 1; // the primary owner
    }

    // Runs on GDBus's worker thread.
    static GDBusMessage *count(GDBusConnection *, GDBusMessage *message, gboolean incoming, gpointer self)
    {
        if (incoming && g_dbus_message_get_message_type(message) == G_DBUS_MESSAGE_TYPE_METHOD_CALL)
            ++static_cast<PrompterSpy *>(self)->m_calls;
        return message;
    }

    GDBusConnection *m_bus = nullptr;
    bool m_listening = false;
    std::atomic<int> m_calls{0};
};

// libsecret's password API writes to this file instead of the keyring when
// told to by the environment. Armed before anything touches libsecret: a store
// that falls back to a file leaves it behind (and, without a keyring, loads
// its token back).
class FileBackendTrap
{
public:
    void arm()
    {
        m_path = m_dir.filePath(QStringLiteral("keyring"));
        qputenv("SECRET_BACKEND", "file");
        qputenv("SECRET_FILE_TEST_PATH", m_path.toLocal8Bit());
        qputenv("SECRET_FILE_TEST_PASSWORD", "trap");
    }
    bool sprung() const { return QFileInfo::exists(m_path); }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

} // namespace

class TokenStoreTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The test deletes and locks things: never in somebody's real keyring.
        if (qEnvironmentVariableIsEmpty("VESKO_TEST_KEYRING_PASSWORD"))
            QFAIL("needs the throwaway keyring of scripts/with-test-session (scripts/test runs it so)");
        m_trap.arm();
        QVERIFY2(openService(), "no Secret Service on the session bus");
        QVERIFY2(!defaultCollectionLocked(), "the default collection is missing or locked");
    }
    void init()
    {
        deleteItems(ourService);
        deleteItems(otherService);
        QVERIFY(storedItems().isEmpty());
    }
    void cleanupTestCase() { QVERIFY2(!m_trap.sprung(), "a token went to a file instead of the keyring"); }

    void loadBeforeAnySave() { QCOMPARE(describe(TokenStore::load()), describe(std::nullopt)); }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("token");
        QTest::newRow("plain") << "vsk_live_4f9a2c81d0";
        QTest::newRow("punctuation and inner spaces") << "a b\"c'd\\e;f=g,h/i+j%00k";
        QTest::newRow("two-, three- and four-byte UTF-8") << QStringLiteral(u"t\u00e9\u20ac\U0001F600");
        QTest::newRow("leading byte order mark") << QStringLiteral(u"\uFEFFtoken");
        QTest::newRow("replacement character") << QStringLiteral(u"a\uFFFDb");
        QTest::newRow("4 KiB") << QString(4096, u'q');
    }
    void roundTrip()
    {
        QFETCH(QString, token);
        TokenStore::save(token);
        QCOMPARE(describe(TokenStore::load()), describe(token));

        const QList<StoredItem> items = storedItems();
        QCOMPARE(items.size(), 1);
        QCOMPARE(items[0].secret, token.toUtf8()); // no terminator, no prefix, no re-encoding
        QCOMPARE(items[0].attributes.value("service"), ourService);
        QCOMPARE(items[0].attributes.value("account"), ourAccount);
        // Attributes and label are stored and shown unencrypted.
        for (auto it = items[0].attributes.cbegin(); it != items[0].attributes.cend(); ++it)
            QVERIFY2(!it.key().contains(token) && !it.value().contains(token), qPrintable(it.key()));
        QVERIFY(!items[0].label.isEmpty());
        QVERIFY(!items[0].label.contains(token));
    }

    void secondSaveReplacesFirst()
    {
        TokenStore::save("first-token");
        TokenStore::save("second-token");
        QCOMPARE(storedSecrets(), QList<QByteArray>{"second-token"});
        QCOMPARE(describe(TokenStore::load()), describe("second-token"));
    }

    // Strays: items under our address that the store did not write (a crash
    // mid-save, another tool). Someone else's item under another service stays.
    void clearsStrays_data()
    {
        QTest::addColumn<int>("strays");
        QTest::addColumn<bool>("otherSchema"); // one more, under another tool's schema name
        QTest::addColumn<bool>("saveAfter");
        QTest::newRow("remove, nothing there") << 0 << false << false;
        QTest::newRow("remove, one") << 1 << false << false;
        QTest::newRow("remove, several") << 2 << true << false;
        QTest::newRow("save, one") << 1 << false << true;
        QTest::newRow("save, several") << 2 << true << true;
    }
    void clearsStrays()
    {
        QFETCH(int, strays);
        QFETCH(bool, otherSchema);
        QFETCH(bool, saveAfter);
        QVERIFY(addItem("not ours", otherService));
        for (int i = 0; i < strays; ++i)
            QVERIFY(addItem("stray-" + QByteArray::number(i)));
        if (otherSchema)
            QVERIFY(addItem("stray-with-schema", ourService, "xdg:schema", "org.example.Schema"));

        if (saveAfter) {
            TokenStore::save("fresh-token");
            QCOMPARE(storedSecrets(), QList<QByteArray>{"fresh-token"});
            QCOMPARE(describe(TokenStore::load()), describe("fresh-token"));
        } else {
            TokenStore::remove();
            QCOMPARE(storedSecrets(), QList<QByteArray>{});
            QCOMPARE(describe(TokenStore::load()), describe(std::nullopt));
        }
        QCOMPARE(storedSecrets(otherService), QList<QByteArray>{"not ours"});
    }

    void saveThenRemove()
    {
        TokenStore::save("short-lived");
        TokenStore::remove();
        QVERIFY(storedItems().isEmpty());
        QCOMPARE(describe(TokenStore::load()), describe(std::nullopt));
    }

    // Written behind the store's back: what it must refuse to hand out.
    void unusableContentLoadsAsNothing_data()
    {
        QTest::addColumn<QByteArray>("secret");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("Latin-1") << QByteArray("caf\xe9");
        QTest::newRow("lone continuation byte") << QByteArray("ab\x80");
        QTest::newRow("truncated sequence") << QByteArray("ab\xe2\x82");
        QTest::newRow("overlong slash") << QByteArray("a\xc0\xaf");
        QTest::newRow("encoded surrogate") << QByteArray("a\xed\xa0\x80");
        QTest::newRow("beyond U+10FFFF") << QByteArray("a\xf4\x90\x80\x80");
        QTest::newRow("byte FF") << QByteArray("a\xff");
        QTest::newRow("NUL inside") << QByteArray("abc\0def", 7);
        QTest::newRow("NUL alone") << QByteArray(1, '\0');
        QTest::newRow("CR LF header injection") << QByteArray("abc\r\nX-Evil: 1");
        QTest::newRow("trailing LF") << QByteArray("abc\n");
        QTest::newRow("tab") << QByteArray("ab\tc");
        QTest::newRow("DEL") << QByteArray("ab\x7f");
        QTest::newRow("escape") << QByteArray("\x1b[31mab");
        QTest::newRow("C1 next line") << QByteArray("ab\xc2\x85");
    }
    void unusableContentLoadsAsNothing()
    {
        QFETCH(QByteArray, secret);
        QVERIFY(addItem(secret));
        QCOMPARE(storedSecrets(), QList<QByteArray>{secret});
        QCOMPARE(describe(TokenStore::load()), describe(std::nullopt));
    }

    // Saving what could never load again clears the old token and keeps nothing.
    void unusableTokenIsNotSaved_data()
    {
        QTest::addColumn<QString>("token");
        QTest::newRow("empty") << QString();
        QTest::newRow("CR LF") << "abc\r\nX-Evil: 1";
        QTest::newRow("NUL") << QString::fromUtf16(u"ab\u0000c", 4);
        QTest::newRow("C1 control") << QStringLiteral(u"ab\u0085");
        QTest::newRow("lone surrogate") << QString::fromUtf16(u"ab\xD800", 3);
    }
    void unusableTokenIsNotSaved()
    {
        QFETCH(QString, token);
        TokenStore::save("good-token");
        TokenStore::save(token);
        QVERIFY(storedItems().isEmpty());
        QCOMPARE(describe(TokenStore::load()), describe(std::nullopt));
    }

    void strayAgreement_data()
    {
        QTest::addColumn<QList<QByteArray>>("secrets");
        QTest::addColumn<bool>("loads");
        QTest::newRow("two alike") << QList<QByteArray>{"same-token", "same-token"} << true;
        QTest::newRow("two different") << QList<QByteArray>{"same-token", "other-token"} << false;
        QTest::newRow("one unusable") << QList<QByteArray>{"same-token", QByteArray("bad\n")} << false;
    }
    void strayAgreement()
    {
        QFETCH(QList<QByteArray>, secrets);
        QFETCH(bool, loads);
        for (const QByteArray &secret : secrets)
            QVERIFY(addItem(secret));
        const std::optional<QString> expected = loads ? std::optional<QString>("same-token") : std::nullopt;
        QCOMPARE(describe(TokenStore::load()), describe(expected));
    }

    // Last: it locks the keyring. Nothing may pop up or wait for an answer, and
    // the locked token must neither be handed out nor lost.
    void lockedCollection()
    {
        TokenStore::save("before-lock");
        PrompterSpy prompter;
        QVERIFY2(prompter.listening(), "could not take the prompter's bus names");
        QVERIFY(lockDefaultCollection());
        QVERIFY(defaultCollectionLocked());

        std::optional<QString> loaded{QStringLiteral("unset")};
        qint64 ms = millisecondsFor([&] { loaded = TokenStore::load(); });
        QCOMPARE(describe(loaded), describe(std::nullopt));
        QVERIFY2(ms < patienceMs, qPrintable(QStringLiteral("load took %1 ms").arg(ms)));
        ms = millisecondsFor([] { TokenStore::save("while-locked"); });
        QVERIFY2(ms < patienceMs, qPrintable(QStringLiteral("save took %1 ms").arg(ms)));
        ms = millisecondsFor([] { TokenStore::remove(); });
        QVERIFY2(ms < patienceMs, qPrintable(QStringLiteral("remove took %1 ms").arg(ms)));
        QCOMPARE(prompter.calls(), 0);

        // The spy does see a prompt when one is asked for.
        const auto keyring = openService();
        const auto collection = defaultCollection(keyring.get());
        GList objects{collection.get(), nullptr, nullptr};
        secret_service_unlock_sync(keyring.get(), &objects, nullptr, nullptr, nullptr);
        QVERIFY(prompter.calls() > 0);
        QVERIFY(defaultCollectionLocked());

        QVERIFY(unlockDefaultCollection());
        QCOMPARE(storedSecrets(), QList<QByteArray>{"before-lock"});
        QCOMPARE(describe(TokenStore::load()), describe("before-lock"));
    }

private:
    FileBackendTrap m_trap;
};

// Run under a bus with no Secret Service on it (tests/kit/CMakeLists.txt).
class WithoutSecretServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_trap.arm(); }

    void nothingAnswers_data()
    {
        QTest::addColumn<QByteArray>("address"); // null: none at all
        QTest::addColumn<bool>("busThere");
        QTest::newRow("no socket at the address") << QByteArray("unix:path=" + m_empty.filePath("bus").toLocal8Bit()) << false;
        QTest::newRow("no address at all") << QByteArray() << false;
        QTest::newRow("malformed address") << QByteArray("not-an-address") << false;
        // Last: GLib keeps a bus connection that worked for later use.
        QTest::newRow("bus without a Secret Service") << qgetenv("DBUS_SESSION_BUS_ADDRESS") << true;
    }
    void nothingAnswers()
    {
        QFETCH(QByteArray, address);
        QFETCH(bool, busThere);
        const QByteArray savedAddress = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        const auto restore = qScopeGuard([&] {
            qputenv("DBUS_SESSION_BUS_ADDRESS", savedAddress);
            qputenv("XDG_RUNTIME_DIR", savedRuntime);
        });
        if (address.isNull()) {
            // GLib then looks for $XDG_RUNTIME_DIR/bus, then an X11 autolaunch.
            qunsetenv("DBUS_SESSION_BUS_ADDRESS");
            qunsetenv("DISPLAY");
            qputenv("XDG_RUNTIME_DIR", m_empty.path().toLocal8Bit());
        } else {
            qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        }
        QCOMPARE(busReachable(), busThere);

        std::optional<QString> loaded{QStringLiteral("unset")};
        qint64 ms = millisecondsFor([&] { loaded = TokenStore::load(); });
        QCOMPARE(describe(loaded), describe(std::nullopt));
        QVERIFY2(ms < patienceMs, qPrintable(QStringLiteral("load took %1 ms").arg(ms)));
        ms = millisecondsFor([] { TokenStore::save("nowhere-to-go"); });
        QVERIFY2(ms < patienceMs, qPrintable(QStringLiteral("save took %1 ms").arg(ms)));
        // Would come back from a file fallback.
        QCOMPARE(describe(TokenStore::load()), describe(std::nullopt));
        ms = millisecondsFor([] { TokenStore::remove(); });
        QVERIFY2(ms < patienceMs, qPrintable(QStringLiteral("remove took %1 ms").arg(ms)));
        QVERIFY(!m_trap.sprung());
    }

private:
    // The row's premise. (A Secret Service on that bus would show: the token
    // saved above would load.)
    static bool busReachable()
    {
        GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        if (bus)
            g_object_unref(bus);
        return bus != nullptr;
    }

    FileBackendTrap m_trap;
    QTemporaryDir m_empty;
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("VESKO_TEST_NO_SECRET_SERVICE")) {
        WithoutSecretServiceTest test;
        return QTest::qExec(&test, argc, argv);
    }
    TokenStoreTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tokenstore.moc"
