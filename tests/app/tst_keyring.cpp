// The keyring store against a real gnome-keyring (run through scripts/with-test-session),
// and, with VESKO_TEST_NO_SECRET_SERVICE set, where no Secret Service answers.
// libsecret first: GLib names a struct field "signals", which Qt defines as a macro.
#include <libsecret/secret.h>

#include "app/linux/KeyringSecretStore.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Stateless: every store in the process shares the one worker thread.
vesko::KeyringSecretStore tokenStore;

// Pinned: a store that moved its address would lose every signed-in user's token.
const char *const ourService = "app.vesko.Vesko";
// Items the test writes carry another tool's schema name: the store must match
// on service and account alone.
const SecretSchema foreign{"org.example.Schema",
                           SECRET_SCHEMA_DONT_MATCH_NAME,
                           {{"service", SECRET_SCHEMA_ATTRIBUTE_STRING}, {"account", SECRET_SCHEMA_ATTRIBUTE_STRING}}};
std::atomic<int> promptCalls{0};

QString loaded()
{
    return tokenStore.load().value_or(u"<nothing>"_s);
}

// Fresh each time, so nothing cached hides what is stored.
SecretService *openKeyring()
{
    return secret_service_open_sync(SECRET_TYPE_SERVICE, nullptr, SECRET_SERVICE_OPEN_SESSION, nullptr, nullptr);
}

GList *search(SecretService *keyring)
{
    g_autoptr(GHashTable) address =
        secret_attributes_build(&foreign, "service", ourService, "account", "api-token", nullptr);
    const auto flags = SecretSearchFlags(SECRET_SEARCH_ALL | SECRET_SEARCH_LOAD_SECRETS);
    return secret_service_search_sync(keyring, &foreign, address, flags, nullptr, nullptr);
}

// Every item's secret, "<locked>" when it has none to give.
QList<QByteArray> stored()
{
    QList<QByteArray> secrets;
    g_autoptr(SecretService) keyring = openKeyring();
    g_autolist(SecretItem) found = search(keyring);
    for (GList *node = found; node; node = node->next) {
        g_autoptr(SecretValue) value = secret_item_get_secret(static_cast<SecretItem *>(node->data));
        gsize length = 0;
        const gchar *data = value ? secret_value_get(value, &length) : "<locked>";
        secrets.append(QByteArray(data, value ? qsizetype(length) : -1));
    }
    return secrets;
}

// Written behind the store's back, beside whatever is there.
bool add(const QByteArray &secret)
{
    g_autoptr(SecretService) keyring = openKeyring();
    g_autoptr(SecretCollection) collection =
        secret_collection_for_alias_sync(keyring, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, nullptr);
    g_autoptr(GHashTable) address =
        secret_attributes_build(&foreign, "service", ourService, "account", "api-token", nullptr);
    g_autoptr(SecretValue) value = secret_value_new(secret.constData(), secret.size(), "text/plain");
    g_autoptr(SecretItem) item = secret_item_create_sync(collection, &foreign, address, "test", value,
                                                         SECRET_ITEM_CREATE_NONE, nullptr, nullptr);
    return item != nullptr;
}

void clear()
{
    g_autoptr(SecretService) keyring = openKeyring();
    g_autolist(SecretItem) found = search(keyring);
    for (GList *node = found; node; node = node->next)
        secret_item_delete_sync(static_cast<SecretItem *>(node->data), nullptr, nullptr);
}

// Takes the bus name of gnome-keyring's unlock dialog and counts the calls to
// it. Nothing serves them, so they fail at once instead of waiting for a user.
void watchPrompts()
{
    g_autoptr(GDBusConnection) bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    g_dbus_connection_add_filter(
        bus,
        [](GDBusConnection *, GDBusMessage *message, gboolean incoming, gpointer) {
            if (incoming && g_dbus_message_get_message_type(message) == G_DBUS_MESSAGE_TYPE_METHOD_CALL)
                ++promptCalls;
            return message;
        },
        nullptr, nullptr);
    // Asked before anything this connection sends later, so taken before any prompt.
    g_bus_own_name_on_connection(bus, "org.gnome.keyring.SystemPrompter", G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE, nullptr,
                                 nullptr, nullptr, nullptr);
}

} // namespace

class KeyringTest : public QObject
{
    Q_OBJECT

private slots:
    // The test deletes and locks things: never in somebody's real keyring.
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("VESKO_TEST_KEYRING_PASSWORD"), "needs scripts/with-test-session");
    }
    void init() { clear(); }

    void loadBeforeAnySave() { QCOMPARE(loaded(), u"<nothing>"_s); }

    void roundTripIsByteExact()
    {
        // A byte order mark is part of the token.
        const QString token = u"\uFEFFa \"b\\c;t\u00e9\U0001F600"_s;
        tokenStore.save(token);
        QCOMPARE(stored(), QList<QByteArray>{token.toUtf8()});
        QCOMPARE(loaded(), token);
        // Label and attributes are stored and shown unencrypted: no room for the token.
        g_autoptr(SecretService) keyring = openKeyring();
        g_autolist(SecretItem) found = search(keyring);
        g_autofree gchar *label = secret_item_get_label(SECRET_ITEM(found->data));
        g_autoptr(GHashTable) attributes = secret_item_get_attributes(SECRET_ITEM(found->data));
        QVERIFY(!QByteArray(label).contains(token.toUtf8()));
        QCOMPARE(g_hash_table_size(attributes), 3u); // service, account, schema name
    }

    void saveReplacesAndRemoveClears()
    {
        QVERIFY(add("stray"));
        tokenStore.save(u"fresh"_s);
        QCOMPARE(stored(), QList<QByteArray>{"fresh"});
        tokenStore.save(u"would split\r\nthe header"_s); // clears, and stores nothing that could never load
        QCOMPARE(stored(), QList<QByteArray>{});
        tokenStore.save(u"fresh"_s);
        tokenStore.remove();
        QCOMPARE(stored(), QList<QByteArray>{});
    }

    // A 401 for an old token must not take a newer one that another process stored.
    void removeIfStill_data()
    {
        QTest::addColumn<QList<QByteArray>>("secrets");
        QTest::addColumn<QList<QByteArray>>("left");
        QTest::newRow("still the refused one") << QList<QByteArray>{"refused"} << QList<QByteArray>{};
        QTest::newRow("replaced since") << QList<QByteArray>{"newer"} << QList<QByteArray>{"newer"};
        QTest::newRow("strays") << QList<QByteArray>{"refused", "newer"} << QList<QByteArray>{"newer"};
        QTest::newRow("nothing stored") << QList<QByteArray>{} << QList<QByteArray>{};
    }
    void removeIfStill()
    {
        QFETCH(QList<QByteArray>, secrets);
        for (const QByteArray &secret : secrets)
            QVERIFY(add(secret));
        tokenStore.removeIfStill(u"refused"_s);
        QTEST(stored(), "left");
    }

    void whatLoads_data()
    {
        QTest::addColumn<QList<QByteArray>>("secrets");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << QList<QByteArray>{""} << "<nothing>";
        QTest::newRow("not UTF-8") << QList<QByteArray>{"caf\xe9"} << "<nothing>";
        QTest::newRow("CR LF") << QList<QByteArray>{"abc\r\nX-Evil: 1"} << "<nothing>";
        QTest::newRow("NUL") << QList<QByteArray>{QByteArray("abc\0def", 7)} << "<nothing>";
        QTest::newRow("C1 control") << QList<QByteArray>{"ab\xc2\x85"} << "<nothing>";
        QTest::newRow("strays that disagree") << QList<QByteArray>{"one", "two"} << "<nothing>";
        QTest::newRow("stray unusable") << QList<QByteArray>{"one", "bad\n"} << "<nothing>";
        QTest::newRow("strays alike") << QList<QByteArray>{"one", "one"} << "one";
    }
    void whatLoads()
    {
        QFETCH(QList<QByteArray>, secrets);
        for (const QByteArray &secret : secrets)
            QVERIFY(add(secret));
        QTEST(loaded(), "expected");
    }

    // Without waiting: the answer comes once, from the caller's event loop on
    // its thread, and never to a caller that is gone.
    void loadLater_data()
    {
        QTest::addColumn<QByteArray>("secret"); // empty: nothing stored
        QTest::addColumn<bool>("callerStays");
        QTest::addColumn<QStringList>("answers");
        QTest::newRow("stored") << QByteArray("tok-later") << true << QStringList{u"tok-later"_s};
        QTest::newRow("nothing") << QByteArray() << true << QStringList{u"<nothing>"_s};
        QTest::newRow("unusable") << QByteArray("bad\n") << true << QStringList{u"<nothing>"_s};
        QTest::newRow("caller gone") << QByteArray("tok-later") << false << QStringList();
    }
    void loadLater()
    {
        QFETCH(QByteArray, secret);
        QFETCH(bool, callerStays);
        if (!secret.isEmpty())
            QVERIFY(add(secret));
        auto caller = std::make_unique<QObject>();
        QStringList answers;
        bool elsewhere = false;
        tokenStore.loadLater(caller.get(), [&](const std::optional<QString> &token) {
            answers << token.value_or(u"<nothing>"_s);
            elsewhere |= QThread::currentThread() != caller->thread();
        });
        QVERIFY(answers.isEmpty());
        if (!callerStays)
            caller.reset();
        // Calls run in turn: once this one is back, the answer above is on its way.
        loaded();
        QCoreApplication::processEvents();
        QTEST(answers, "answers");
        QVERIFY(!elsewhere);
    }

    // Last: it leaves the keyring locked. Nothing may ask for an unlock (a prompt that
    // nobody answers blocks for ever), and the token stays.
    void lockedCollection()
    {
        tokenStore.save(u"before-lock"_s);
        watchPrompts();
        g_autoptr(SecretService) keyring = openKeyring();
        g_autoptr(SecretCollection) locked = secret_collection_for_alias_sync(keyring, SECRET_COLLECTION_DEFAULT,
                                                                              SECRET_COLLECTION_NONE, nullptr, nullptr);
        GList collection{locked, nullptr, nullptr};
        QCOMPARE(secret_service_lock_sync(keyring, &collection, nullptr, nullptr, nullptr), 1);
        QCOMPARE(loaded(), u"<nothing>"_s);
        tokenStore.save(u"while-locked"_s);
        tokenStore.remove();
        QCOMPARE(promptCalls.load(), 0);
        QCOMPARE(stored(), QList<QByteArray>{"<locked>"});
        // The watch does see a prompt when one is asked for.
        secret_service_unlock_sync(keyring, &collection, nullptr, nullptr, nullptr);
        QVERIFY(promptCalls.load() > 0);
    }
};

// Run on a bus without a Secret Service (tests/app/CMakeLists.txt).
class WithoutSecretServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void nothingStoredNothingWaits()
    {
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(loaded(), u"<nothing>"_s);
        tokenStore.save(u"nowhere-to-go"_s);
        QCOMPARE(loaded(), u"<nothing>"_s); // a file fallback would hand it back
        tokenStore.remove();
        QCOMPARE_LT(timer.elapsed(), 2000); // far below D-Bus's 25 s timeout
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // Before anything touches libsecret: a store on its password API would then
    // keep the token in this file, out of the keyring, and hand it back without one.
    QTemporaryDir scratch;
    qputenv("SECRET_BACKEND", "file");
    qputenv("SECRET_FILE_TEST_PATH", scratch.filePath(u"keyring"_s).toLocal8Bit());
    qputenv("SECRET_FILE_TEST_PASSWORD", "trap");
    KeyringTest withKeyring;
    WithoutSecretServiceTest withoutService;
    const bool none = qEnvironmentVariableIsSet("VESKO_TEST_NO_SECRET_SERVICE");
    return QTest::qExec(none ? static_cast<QObject *>(&withoutService) : &withKeyring, argc, argv);
}

#include "tst_keyring.moc"
