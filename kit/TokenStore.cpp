// First: GLib's headers name a struct field "signals", which Qt defines as a macro.
#include <libsecret/secret.h>

#include "TokenStore.h"

#include <QByteArray>
#include <QStringDecoder>

#include <algorithm>
#include <memory>

namespace vesko::TokenStore {

namespace {

// The item's address. Users' tokens are filed under it: never change it.
constexpr const char *serviceId = "app.vesko.Vesko";
constexpr const char *accountName = "api-token";
// What keyring managers show; fixed, so it can never carry the token.
constexpr const char *itemLabel = "Vesko API token";

// Matched on service and account alone, so that an item another tool filed
// under them (with a schema name of its own, say) is found and cleared too.
const SecretSchema *schema()
{
    static const SecretSchema schema = [] {
        SecretSchema s{}; // the rest is reserved and must stay zero
        s.name = "app.vesko.Vesko.ApiToken";
        s.flags = SECRET_SCHEMA_DONT_MATCH_NAME;
        s.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return s;
    }();
    return &schema;
}

struct Release
{
    void operator()(gpointer object) const { g_object_unref(object); }
    void operator()(GHashTable *table) const { g_hash_table_unref(table); }
    void operator()(SecretValue *value) const { secret_value_unref(value); }
    void operator()(GList *objects) const { g_list_free_full(objects, g_object_unref); }
};
template <typename T>
using Owned = std::unique_ptr<T, Release>;

// A connection of our own to the Secret Service on the session bus, or none.
// Never libsecret's password API: that one switches to a file of its own
// inside Flatpak or Snap, or when SECRET_BACKEND says so, and the token lives
// in the user's keyring or nowhere. Fresh each time, so a keyring daemon that
// restarted since the last call is no trouble.
Owned<SecretService> connect(SecretServiceFlags flags)
{
    return Owned<SecretService>(secret_service_open_sync(SECRET_TYPE_SERVICE, nullptr, flags, nullptr, nullptr));
}

Owned<GHashTable> attributes()
{
    return Owned<GHashTable>(secret_attributes_build(schema(), "service", serviceId, "account", accountName, nullptr));
}

// Every item filed under our address, locked ones included. Nothing is ever
// unlocked: that takes a prompt, and a prompt nobody answers blocks for ever.
Owned<GList> items(SecretService *service, SecretSearchFlags flags)
{
    const auto all = SecretSearchFlags(SECRET_SEARCH_ALL | flags);
    return Owned<GList>(secret_service_search_sync(service, schema(), attributes().get(), all, nullptr, nullptr));
}

// Fit for an Authorization header as it is: CR or LF would split the header,
// NUL would cut it short, and an empty token is no token.
bool usable(QStringView token)
{
    return !token.isEmpty() && token.isValidUtf16()
        && std::none_of(token.begin(), token.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
}

std::optional<QString> decode(SecretValue *value)
{
    gsize length = 0;
    const gchar *data = secret_value_get(value, &length);
    const QByteArray bytes = QByteArray::fromRawData(data, qsizetype(length));
    // A leading byte order mark is part of the token, not a hint to drop.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QString text = utf8.decode(bytes);
    // Bytes that are not UTF-8 decode to replacement characters and so never
    // encode back to themselves.
    if (text.toUtf8() != bytes || !usable(text))
        return std::nullopt;
    return text;
}

// Deletes what can go without unlocking. A locked item stays where it is:
// a Secret Service may answer its deletion with an unlock prompt.
void clear(SecretService *service)
{
    const auto found = items(service, SECRET_SEARCH_NONE);
    for (GList *node = found.get(); node; node = node->next) {
        auto *item = static_cast<SecretItem *>(node->data);
        if (!secret_item_get_locked(item))
            secret_item_delete_sync(item, nullptr, nullptr);
    }
}

} // namespace

std::optional<QString> load()
{
    const auto service = connect(SECRET_SERVICE_OPEN_SESSION);
    if (!service)
        return std::nullopt;
    std::optional<QString> token;
    const auto found = items(service.get(), SECRET_SEARCH_LOAD_SECRETS);
    for (GList *node = found.get(); node; node = node->next) {
        // Only unlocked items come with their secret.
        const Owned<SecretValue> value(secret_item_get_secret(static_cast<SecretItem *>(node->data)));
        if (!value)
            continue;
        auto text = decode(value.get());
        // Strays that disagree leave no way to tell which token is current.
        if (!text || (token && *token != *text))
            return std::nullopt;
        token = std::move(text);
    }
    return token;
}

void save(const QString &token)
{
    const auto service = connect(SECRET_SERVICE_OPEN_SESSION);
    if (!service)
        return;
    clear(service.get());
    if (!usable(token))
        return;
    // Only a default collection that is there and unlocked: creating one, or
    // an item in a locked one, may take a prompt, and this call would wait for
    // its answer.
    const Owned<SecretCollection> collection(
        secret_collection_for_alias_sync(service.get(), SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, nullptr));
    if (!collection || secret_collection_get_locked(collection.get()))
        return;
    const QByteArray bytes = token.toUtf8();
    const Owned<SecretValue> value(secret_value_new(bytes.constData(), bytes.size(), "text/plain"));
    const Owned<SecretItem> item(secret_item_create_sync(collection.get(), schema(), attributes().get(), itemLabel,
                                                         value.get(), SECRET_ITEM_CREATE_NONE, nullptr, nullptr));
}

void remove()
{
    if (const auto service = connect(SECRET_SERVICE_NONE))
        clear(service.get());
}

} // namespace vesko::TokenStore
