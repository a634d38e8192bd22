#pragma once

// Stand-ins for the platform facilities, recording what the model asked of them.
#include "app/core/BrowserSession.h"
#include "app/core/ColorScheme.h"
#include "app/core/HostName.h"
#include "app/core/LoginItem.h"
#include "app/core/Notifier.h"
#include "app/core/PushTransport.h"
#include "app/core/RevenueHistory.h"
#include "app/core/Scene.h"
#include "app/core/SecretStore.h"
#include "app/core/SleepTimer.h"
#include "app/core/UrlOpener.h"
#include "app/core/WakeMonitor.h"

#include <QList>
#include <QMap>
#include <QPointer>
#include <QSet>

#include <algorithm>
#include <functional>
#include <optional>
#include <tuple>
#include <utility>

using namespace Qt::StringLiterals;

struct FakeSecretStore : vesko::SecretStore
{
    std::optional<QString> stored;
    int saves = 0;
    int removals = 0;
    std::optional<QString> load() override { return stored; }
    void save(const QString &token) override { ++saves, stored = token; }
    void remove() override { ++removals, stored.reset(); }
};

// A keyring whose background load is read at once but handed over only at
// answer(), whatever happened to the store meanwhile.
struct SlowSecretStore : FakeSecretStore
{
    QList<std::function<void()>> waiting;
    void loadLater(QObject *, std::function<void(std::optional<QString>)> done) override
    {
        waiting.append([done = std::move(done), token = stored] { done(token); });
    }
    void answer()
    {
        for (const auto &give : std::exchange(waiting, {}))
            give();
    }
};

struct FakeLoginItem : vesko::LoginItem
{
    bool enabled = false;
    bool refuses = false;
    bool isEnabled() const override { return enabled; }
    void setEnabled(bool on) override
    {
        if (!refuses)
            enabled = on;
    }
};

struct FakeUrlOpener : vesko::UrlOpener
{
    QList<QUrl> opened;
    void open(const QUrl &url) override { opened.append(url); }
};

struct FakeHostName : vesko::HostName
{
    QString name = u"Ada's Laptop"_s;
    QString userVisibleName() const override { return name; }
};

// A browser the test drives: it learns the URL and the test answers for it.
struct FakeBrowserSession : vesko::BrowserSession
{
    static inline QList<QPointer<FakeBrowserSession>> all;
    QUrl started;
    bool waiting = false;
    FakeBrowserSession() { all.append(this); }
    void start(const QUrl &url) override { started = url, waiting = true; }
    bool receive(const QUrl &callback) override { return end(callback, false); }
    void cancel() override { end(std::nullopt, true); }
    bool end(const std::optional<QUrl> &callback, bool failed)
    {
        if (!waiting)
            return false;
        waiting = false;
        emit finished(callback, failed);
        return true;
    }
};

// The loop's timer, fired by hand so a test decides when a turn comes.
struct FakeSleepTimer : vesko::SleepTimer
{
    int starts = 0;
    bool armed = false;
    void start(std::chrono::milliseconds) override { ++starts, armed = true; }
    void stop() override { armed = false; }
    void fire()
    {
        armed = false;
        emit timeout();
    }
};

struct FakeWake : vesko::WakeMonitor
{
    void wake() { emit woke(); }
};

struct FakeNotifier : vesko::Notifier
{
    bool available = true;
    QList<vesko::Notification> shown;
    bool isAvailable() override { return available; }
    void show(const vesko::Notification &notification) override { shown.append(notification); }
    void click() { emit clicked(); }
};

// Registers with `token`, or fails with `reason` when there is none; from the
// event loop, as a real transport answers.
struct FakePushTransport : vesko::PushTransport
{
    std::optional<QByteArray> token = QByteArray::fromHex("0aff00c0ffee");
    QString reason = u"no service (100%s sure)"_s;
    int requests = 0;
    void registerForPush() override
    {
        ++requests;
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (token)
                    emit registered(*token);
                else
                    emit registrationFailed(reason);
            },
            Qt::QueuedConnection);
    }
    void push(const vesko::Notification &notification) { emit pushed(notification); }
};

struct FakeScene : vesko::Scene
{
    int welcomes = 0;
    int panels = 0;
    bool showWelcomeIfNeeded() override { return ++welcomes == 1; }
    void openPanel() override { ++panels; }
};

// The desktop's light or dark preference, switched by hand.
struct FakeColorScheme : vesko::ColorScheme
{
    bool dark = false;
    bool prefersDark() const override { return dark; }
    void prefer(bool on)
    {
        if (on == dark)
            return;
        dark = on;
        emit prefersDarkChanged(on);
    }
};

// The history in memory: every figure kept (no spacing), per account, scope
// and currency; `reads` counts the questions asked of it.
struct FakeRevenueHistory : vesko::RevenueHistory
{
    struct Key
    {
        QString account, scope, currency;
        friend bool operator<(const Key &a, const Key &b)
        {
            return std::tie(a.account, a.scope, a.currency) < std::tie(b.account, b.scope, b.currency);
        }
    };
    QMap<Key, QList<vesko::MrrReading>> figures;
    QSet<QString> milestones;
    mutable int reads = 0;

    void record(const QString &account, const QString &scope, const QString &currency, const QDateTime &at,
                qint64 mrr) override
    {
        QList<vesko::MrrReading> &kept = figures[{account, scope, currency}];
        const auto later = std::upper_bound(kept.begin(), kept.end(), at,
                                            [](const QDateTime &t, const vesko::MrrReading &r) { return t < r.at; });
        kept.insert(later, {.at = at, .mrr = mrr});
    }
    QList<vesko::MrrReading> readings(const QString &account, const QString &scope, const QString &currency,
                                      const QDateTime &since) const override
    {
        ++reads;
        QList<vesko::MrrReading> found = figures.value({account, scope, currency});
        found.removeIf([&](const vesko::MrrReading &reading) { return reading.at < since; });
        return found;
    }
    bool markMilestone(const QString &account, const QString &scope, const QString &currency, qint64 threshold) override
    {
        const QString key = QStringList{account, scope, currency, QString::number(threshold)}.join(u'\n');
        if (milestones.contains(key))
            return false;
        milestones.insert(key);
        return true;
    }
    void forgetAccount(const QString &account) override
    {
        figures.removeIf([&](const auto &entry) { return entry.key().account == account; });
        milestones.removeIf([&](const QString &key) { return key.startsWith(account + u'\n'); });
    }
};
