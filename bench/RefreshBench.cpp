// The refresh figures of the real AppModel against the demo service, in one
// process: wall time with every endpoint delayed, connections opened over 20
// refreshes, and memory and descriptors after 10,000 back-to-back refreshes.
// Everything but the network is faked: a refresh reaches nothing else.
#include "app/core/AppModel.h"
#include "app/core/BrowserSession.h"
#include "app/core/HostName.h"
#include "app/core/LoginItem.h"
#include "app/core/SecretStore.h"
#include "app/core/SleepTimer.h"
#include "app/core/UrlOpener.h"
#include "bench/DevService.h"
#include "bench/Probe.h"
#include "bench/Table.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <malloc.h>

using namespace Qt::StringLiterals;

using namespace vesko;
using namespace vesko::bench;
using namespace std::chrono_literals;

namespace {

constexpr int delayMs = 200;
constexpr int delayedRefreshes = 15;
constexpr int reuseRefreshes = 20;
constexpr int earlyRefreshes = 100;
constexpr int manyRefreshes = 10'000;

class MemorySecrets : public SecretStore
{
public:
    explicit MemorySecrets(QString token)
        : m_token(std::move(token))
    {}
    std::optional<QString> load() override { return m_token; }
    void save(const QString &token) override { m_token = token; }
    void remove() override { m_token.reset(); }

private:
    std::optional<QString> m_token;
};

class NoLoginItem : public LoginItem
{
public:
    bool isEnabled() const override { return false; }
    void setEnabled(bool) override {}
};

class NoUrls : public UrlOpener
{
public:
    void open(const QUrl &) override {}
};

class PlainHostName : public HostName
{
public:
    QString userVisibleName() const override { return u"bench"_s; }
};

// One signed-in model and what it is built from; the clock counts the
// refreshes it publishes (it is read once per publish, and each reading
// differs, so every publish also changes `refreshedAt`).
class SignedInModel
{
public:
    SignedInModel(const DevService &service, const QString &token, std::chrono::milliseconds interval)
        : m_settings(m_dir.filePath(u"vesko.conf"_s), QSettings::IniFormat),
          m_secrets(token)
    {
        const QDateTime start = QDateTime::currentDateTimeUtc();
        model = std::make_unique<AppModel>(AppModel::Environment{
            .config = VeskoConfig(service.base(), service.base()),
            .secrets = m_secrets,
            .http = m_http,
            .settings = m_settings,
            .loginItem = m_login,
            .urls = m_urls,
            .hostName = m_host,
            .browserSessions = [] { return std::unique_ptr<BrowserSession>(); },
            .now = [this, start] { return start.addMSecs(++published); },
            .interval = interval,
        });
    }

    HttpSession &http() { return m_http; }

    qint64 published = 0;
    std::unique_ptr<AppModel> model;

private:
    QTemporaryDir m_dir;
    QSettings m_settings;
    HttpSession m_http;
    MemorySecrets m_secrets;
    NoLoginItem m_login;
    NoUrls m_urls;
    PlainHostName m_host;
};

bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout)
{
    const QDeadlineTimer deadline(timeout);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return done();
}

// One refresh, as the loop starts it; its wall time in ms, or nothing when it failed.
std::optional<double> timedRefresh(AppModel &model)
{
    QElapsedTimer clock;
    clock.start();
    const QPointer<Refresh> refresh = model.refresh();
    if (!refresh)
        return std::nullopt;
    std::optional<double> ms;
    bool over = false;
    QObject::connect(refresh, &Refresh::finished, refresh, [&](const Refresh::Result &result) {
        if (std::holds_alternative<Refresh::Data>(result))
            ms = clock.nsecsElapsed() / 1e6;
        over = true;
    });
    waitUntil([&] { return over; }, 30s);
    return ms;
}

// A single call on the same warm connections: what loopback and the service
// add to the delay by themselves.
std::optional<double> timedCall(const APIClient &client)
{
    QElapsedTimer clock;
    clock.start();
    std::optional<double> ms;
    bool over = false;
    QObject context;
    client.me(&context, [&](const Outcome<Me> &outcome) {
        if (std::holds_alternative<Me>(outcome))
            ms = clock.nsecsElapsed() / 1e6;
        over = true;
    });
    waitUntil([&] { return over; }, 30s);
    return ms;
}

// Connections, undelayed refresh time, then the delayed refreshes, all on one model.
void measureRefreshes(const DevService &service, const QString &token)
{
    const QString reuseFigure = u"TCP connections over %1 refreshes"_s.arg(reuseRefreshes);
    const QString delayFigure =
        u"refresh wall time, each call delayed D=%1 ms (median of %2) / D"_s.arg(delayMs).arg(delayedRefreshes);
    const std::optional<DevService::Stats> before = service.stats();
    SignedInModel signedIn(service, token, 1h); // the loop's own next turn never comes
    AppModel &model = *signedIn.model;
    if (!before || !waitUntil([&] { return signedIn.published == 1; }, 30s)) {
        print(failed(reuseFigure, u"the first refresh did not succeed"_s));
        print(failed(delayFigure, u"the first refresh did not succeed"_s));
        return;
    }
    QList<double> plain;
    for (int i = 1; i < reuseRefreshes; ++i) {
        if (const std::optional<double> ms = timedRefresh(model))
            plain << *ms;
    }
    const std::optional<DevService::Stats> after = service.stats();
    if (!after || plain.size() != reuseRefreshes - 1
        || after->requests - before->requests != qint64{3} * reuseRefreshes) {
        print(failed(reuseFigure, u"not every refresh succeeded"_s));
    } else {
        // The later reading's own connection is not the model's.
        const qint64 opened = after->connections - before->connections - 1;
        print(bounded(reuseFigure, double(opened), QString(), 0, 3, u"3 (1 per parallel call)"_s));
        print(Row{.figure = u"refresh wall time, no delay (median of %1)"_s.arg(plain.size()),
                  .measured = number(median(plain), 2) + u" ms"_s});
    }

    const QJsonObject delayed{{u"delay_ms"_s, delayMs}};
    if (!service.control({{u"summary"_s, delayed}, {u"events"_s, delayed}, {u"me"_s, delayed}})) {
        print(failed(delayFigure, u"the service refused the delay"_s));
        return;
    }
    const APIClient client(model.config(), model.token(), signedIn.http());
    QList<double> singles;
    for (int i = 0; i < 5; ++i) {
        if (const std::optional<double> ms = timedCall(client))
            singles << *ms;
    }
    QList<double> times;
    for (int i = 0; i < delayedRefreshes; ++i) {
        if (const std::optional<double> ms = timedRefresh(model))
            times << *ms;
    }
    service.resetControl();
    if (times.size() != delayedRefreshes) {
        print(failed(delayFigure,
                     u"%1 of %2 refreshes failed"_s.arg(delayedRefreshes - times.size()).arg(delayedRefreshes)));
        return;
    }
    print(compared(delayFigure, median(times), delayMs, u"ms"_s, 1, 1.15));
    if (!singles.isEmpty()) {
        print(compared(u"one delayed call alone (median of %1) / D"_s.arg(singles.size()), median(singles), delayMs,
                       u"ms"_s, 1, std::nullopt));
    }
    std::fprintf(stderr, "delayed refreshes: min %.1f ms, max %.1f ms\n", *std::min_element(times.begin(), times.end()),
                 *std::max_element(times.begin(), times.end()));
}

struct Footprint
{
    qint64 residentKiB = 0;
    qint64 heapBytes = 0; // allocated and not freed, as malloc counts it
    Descriptors fds;
};

Footprint footprint()
{
    return Footprint{ownResidentKiB().value_or(0), qint64(mallinfo2().uordblks), ownDescriptors()};
}

Row flat(const QString &figure, int late, int early, const QString &goal, bool met)
{
    return Row{.figure = figure,
               .measured = QString::number(late),
               .floor = QString::number(early),
               .ratio = (late >= early ? u"+"_s : QString()) + QString::number(late - early),
               .goal = goal,
               .verdict = met ? u"met"_s : u"MISSED"_s};
}

void measureManyRefreshes(const DevService &service, const QString &token)
{
    const QString rssFigure = u"RSS growth, %L1 vs %2 fast refreshes"_s.arg(manyRefreshes).arg(earlyRefreshes);
    const QString fdFigure = u"open descriptors, %L1 vs %2 fast refreshes"_s.arg(manyRefreshes).arg(earlyRefreshes);
    const std::optional<DevService::Stats> before = service.stats();
    // No pause between turns: the loop starts the next refresh as soon as one ends.
    SignedInModel signedIn(service, token, 0ms);
    Footprint early;
    Footprint late;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(signedIn.model.get(), &AppModel::refreshedAtChanged, signedIn.model.get(), [&] {
        if (signedIn.published == earlyRefreshes)
            early = footprint();
        if (signedIn.published == manyRefreshes)
            late = footprint();
        if (signedIn.published % 2000 == 0)
            std::fprintf(stderr, "fast refreshes: %lld\n", static_cast<long long>(signedIn.published));
    });
    // Stalls count as failure: a refresh that keeps failing publishes nothing.
    qint64 seen = 0;
    while (signedIn.published < manyRefreshes) {
        seen = signedIn.published;
        if (!waitUntil([&] { return signedIn.published > seen; }, 10s))
            break;
    }
    const double seconds = clock.elapsed() / 1000.0;
    signedIn.model.reset();
    if (signedIn.published < manyRefreshes) {
        print(failed(rssFigure, u"stalled after %1 refreshes"_s.arg(signedIn.published)));
        print(failed(fdFigure, u"stalled"_s));
        return;
    }
    const std::optional<DevService::Stats> after = service.stats();
    const double growthMiB = (late.residentKiB - early.residentKiB) / 1024.0;
    print(bounded(rssFigure, growthMiB, u"MiB"_s, 2, 2.0,
                  u"RSS after %1: %2 MiB"_s.arg(earlyRefreshes).arg(number(early.residentKiB / 1024.0, 1))));
    print(Row{.figure = u"heap in use growth, %L1 vs %2 fast refreshes"_s.arg(manyRefreshes).arg(earlyRefreshes),
              .measured = number((late.heapBytes - early.heapBytes) / 1024.0, 1) + u" KiB"_s,
              .floor = u"heap after %1: %2 KiB"_s.arg(earlyRefreshes).arg(number(early.heapBytes / 1024.0, 0))});
    print(flat(fdFigure, late.fds.total, early.fds.total, u"flat (+0)"_s, late.fds.total == early.fds.total));
    // Qt keeps up to six connections per host and opens one more when all are
    // busy: sockets may move within that; anything else must not move at all.
    print(flat(u"  of which not sockets"_s, late.fds.total - late.fds.sockets, early.fds.total - early.fds.sockets,
               u"flat (+0)"_s, late.fds.total - late.fds.sockets == early.fds.total - early.fds.sockets));
    print(flat(u"  of which sockets (Qt pools up to 6 per host)"_s, late.fds.sockets, early.fds.sockets, u"<= 6"_s,
               late.fds.sockets <= 6));
    if (before && after) {
        print(Row{.figure = u"  TCP connections opened over the %L1 fast refreshes"_s.arg(manyRefreshes),
                  .measured = QString::number(after->connections - before->connections - 1),
                  .floor = u"3 (1 per parallel call)"_s});
    }
    print(
        Row{.figure = u"fast refreshes per second (loop, no pause)"_s, .measured = number(manyRefreshes / seconds, 0)});
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const DevService service;
    const QString token = service.failure().isEmpty() ? service.grantToken() : QString();
    if (token.isEmpty()) {
        std::fprintf(stderr, "vesko-bench-refresh: %s\n",
                     qPrintable(service.failure().isEmpty() ? u"no token from the service"_s : service.failure()));
        print(failed(u"refresh figures"_s, u"the demo service is not usable"_s));
        return 1;
    }
    measureRefreshes(service, token);
    measureManyRefreshes(service, token);
    return 0;
}
