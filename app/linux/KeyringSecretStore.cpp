// First: GLib's headers name a struct field "signals", which Qt defines as a macro.
#include <libsecret/secret.h>

#include "app/linux/KeyringSecretStore.h"

#include <QByteArray>
#include <QObject>
#include <QStringDecoder>
#include <QTimer>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace vesko {

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
Owned<SecretService> connect(SecretServiceFlags flags, GCancellable *cancel)
{
    return Owned<SecretService>(secret_service_open_sync(SECRET_TYPE_SERVICE, nullptr, flags, cancel, nullptr));
}

Owned<GHashTable> attributes()
{
    return Owned<GHashTable>(secret_attributes_build(schema(), "service", serviceId, "account", accountName, nullptr));
}

// Every item filed under our address, locked ones included. Nothing is ever
// unlocked: that takes a prompt, and a prompt nobody answers blocks for ever.
Owned<GList> items(SecretService *service, SecretSearchFlags flags, GCancellable *cancel)
{
    const auto all = SecretSearchFlags(SECRET_SEARCH_ALL | flags);
    return Owned<GList>(secret_service_search_sync(service, schema(), attributes().get(), all, cancel, nullptr));
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
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QString text = utf8.decode(bytes);
    // Bytes that are not UTF-8 decode to replacement characters and so never
    // encode back to themselves.
    if (text.toUtf8() != bytes || !usable(text))
        return std::nullopt;
    return text;
}

// Deletes what can go without unlocking. A locked item stays where it is:
// a Secret Service may answer its deletion with an unlock prompt.
void clear(SecretService *service, GCancellable *cancel)
{
    const auto found = items(service, SECRET_SEARCH_NONE, cancel);
    for (GList *node = found.get(); node; node = node->next) {
        auto *item = static_cast<SecretItem *>(node->data);
        if (!secret_item_get_locked(item))
            secret_item_delete_sync(item, cancel, nullptr);
    }
}

// One keyring call, waited for until it ends or the deadline passes.
struct Job
{
    std::function<void(GCancellable *)> work;
    std::function<void()> ended; // on the worker, once it is done
    const Owned<GCancellable> cancel{g_cancellable_new()};
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
};

// Runs the calls in the order they came, on a thread of its own: a call given
// up on may still be stuck in D-Bus, and only its own thread waits for it.
class Worker
{
public:
    Worker()
    {
        std::thread([this] { run(); }).detach();
    }

    void submit(std::shared_ptr<Job> job)
    {
        const std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
        m_waiting.notify_one();
    }

private:
    [[noreturn]] void run()
    {
        // libsecret and GDBus attach their sources to the thread's default
        // context: one of our own, not the one Qt's event loop runs.
        GMainContext *context = g_main_context_new();
        g_main_context_push_thread_default(context);
        for (;;) {
            std::shared_ptr<Job> job;
            {
                std::unique_lock lock(m_mutex);
                m_waiting.wait(lock, [this] { return !m_jobs.empty(); });
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            // Given up on before it started: a late removal could take a newer token.
            if (!g_cancellable_is_cancelled(job->cancel.get()))
                job->work(job->cancel.get());
            while (g_main_context_iteration(context, FALSE)) {
            }
            {
                const std::lock_guard lock(job->mutex);
                job->done = true;
                job->finished.notify_all();
            }
            if (job->ended)
                job->ended();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_waiting;
    std::deque<std::shared_ptr<Job>> m_jobs;
};

Worker &worker()
{
    // Never destroyed: its thread may still be inside D-Bus when the process exits.
    static Worker *const worker = new Worker;
    return *worker;
}

// False when the deadline passed first; the call is then cancelled.
bool runWithDeadline(std::function<void(GCancellable *)> work)
{
    auto job = std::make_shared<Job>();
    job->work = std::move(work);
    worker().submit(job);
    std::unique_lock lock(job->mutex);
    if (job->finished.wait_for(lock, KeyringSecretStore::deadline(), [&] { return job->done; }))
        return true;
    g_cancellable_cancel(job->cancel.get());
    return false;
}

std::optional<QString> loadNow(GCancellable *cancel)
{
    const auto service = connect(SECRET_SERVICE_OPEN_SESSION, cancel);
    if (!service)
        return std::nullopt;
    std::optional<QString> token;
    const auto found = items(service.get(), SECRET_SEARCH_LOAD_SECRETS, cancel);
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

void saveNow(const QString &token, GCancellable *cancel)
{
    const auto service = connect(SECRET_SERVICE_OPEN_SESSION, cancel);
    if (!service)
        return;
    clear(service.get(), cancel);
    if (!usable(token))
        return;
    // Only a default collection that is there and unlocked: creating one, or
    // an item in a locked one, may take a prompt, and this call would wait for
    // its answer.
    const Owned<SecretCollection> collection(secret_collection_for_alias_sync(service.get(), SECRET_COLLECTION_DEFAULT,
                                                                              SECRET_COLLECTION_NONE, cancel, nullptr));
    if (!collection || secret_collection_get_locked(collection.get()))
        return;
    const QByteArray bytes = token.toUtf8();
    const Owned<SecretValue> value(secret_value_new(bytes.constData(), bytes.size(), "text/plain"));
    const Owned<SecretItem> item(secret_item_create_sync(collection.get(), schema(), attributes().get(), itemLabel,
                                                         value.get(), SECRET_ITEM_CREATE_NONE, cancel, nullptr));
}

void removeIfStillNow(const QString &token, GCancellable *cancel)
{
    const auto service = connect(SECRET_SERVICE_OPEN_SESSION, cancel);
    if (!service)
        return;
    const auto found = items(service.get(), SECRET_SEARCH_LOAD_SECRETS, cancel);
    for (GList *node = found.get(); node; node = node->next) {
        auto *item = static_cast<SecretItem *>(node->data);
        const Owned<SecretValue> value(secret_item_get_secret(item));
        if (value && decode(value.get()) == token)
            secret_item_delete_sync(item, cancel, nullptr);
    }
}

// Carries a background load's answer to its caller's thread, once: the
// token, or nothing at the deadline. Goes with the caller's context object,
// and an answer still on its way goes with it.
class Answer : public QObject
{
public:
    // Shared with the worker, which only posts while the answer still exists.
    struct Link
    {
        std::mutex mutex;
        Answer *answer = nullptr;
    };

    Answer(QObject *context, std::function<void(std::optional<QString>)> done)
        : QObject(context),
          m_done(std::move(done)),
          m_link(std::make_shared<Link>())
    {
        m_link->answer = this;
    }
    ~Answer() override
    {
        const std::lock_guard lock(m_link->mutex);
        m_link->answer = nullptr;
    }

    const std::shared_ptr<Link> &link() const { return m_link; }

    void give(std::optional<QString> token)
    {
        if (!m_done)
            return;
        const auto done = std::exchange(m_done, nullptr);
        deleteLater();
        done(std::move(token));
    }

private:
    std::function<void(std::optional<QString>)> m_done;
    std::shared_ptr<Link> m_link;
};

} // namespace

std::chrono::milliseconds KeyringSecretStore::deadline()
{
    return std::chrono::seconds(3);
}

std::optional<QString> KeyringSecretStore::load()
{
    std::optional<QString> token;
    // Written before the job counts as done, read only after.
    auto found = std::make_shared<std::optional<QString>>();
    if (runWithDeadline([found](GCancellable *cancel) { *found = loadNow(cancel); }))
        token = *found;
    return token;
}

void KeyringSecretStore::loadLater(QObject *context, std::function<void(std::optional<QString>)> done)
{
    auto *answer = new Answer(context, std::move(done));
    auto found = std::make_shared<std::optional<QString>>();
    auto job = std::make_shared<Job>();
    job->work = [found](GCancellable *cancel) { *found = loadNow(cancel); };
    job->ended = [link = answer->link(), found] {
        const std::lock_guard lock(link->mutex);
        if (Answer *const waiting = link->answer)
            QMetaObject::invokeMethod(
                waiting, [waiting, found] { waiting->give(*found); }, Qt::QueuedConnection);
    };
    QTimer::singleShot(deadline(), answer, [answer, job] {
        g_cancellable_cancel(job->cancel.get());
        answer->give(std::nullopt);
    });
    worker().submit(job);
}

void KeyringSecretStore::save(const QString &token)
{
    runWithDeadline([token](GCancellable *cancel) { saveNow(token, cancel); });
}

void KeyringSecretStore::remove()
{
    runWithDeadline([](GCancellable *cancel) {
        if (const auto service = connect(SECRET_SERVICE_NONE, cancel))
            clear(service.get(), cancel);
    });
}

void KeyringSecretStore::removeIfStill(const QString &token)
{
    runWithDeadline([token](GCancellable *cancel) { removeIfStillNow(token, cancel); });
}

} // namespace vesko
