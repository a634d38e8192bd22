// The real `vesko` on a throwaway desktop (scripts/with-test-session): signed
// in against the demo service, offscreen, its tray item taken by a fake
// watcher in this process. Measures start to tray item registered, idle
// memory, wake-ups with the polls, the panel's first frame and the memory
// after it was hidden, and `vesko status --watch`, each against a floor
// started the same way in the same run: the job floor (the same polls and a
// tray item, nothing else), the headless floor (the same polls, no GUI) and
// bare Qt programs.
#include "app/linux/KeyringSecretStore.h"
#include "bench/DevService.h"
#include "bench/Probe.h"
#include "bench/Table.h"
#include "tests/support/FakeIndicatorHost.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

using namespace vesko;
using namespace vesko::bench;
using namespace std::chrono_literals;

namespace {

// The keyring the running Vesko reads, from behind its back.
KeyringSecretStore keyring;

constexpr int startRuns = 7;
constexpr auto settleTime = 5s;
// Two polls of each: one poll's switches vary too much from one to the next.
constexpr auto wakeWindow = 120s;
// How long the panel stays hidden before the memory is read again.
constexpr auto hiddenWait = 60s;
// The software renderer's log line for each frame it finished: the panel's
// only sign of a frame seen from outside.
constexpr auto frameLog = "qt.scenegraph.time.renderloop.debug=true";
constexpr QByteArrayView frameLine = "Frame rendered";
constexpr auto sampleEvery = 1s;
constexpr int quitEntry = 3; // the tray menu's "Quit Vesko"

bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout)
{
    const QDeadlineTimer deadline(timeout);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return done();
}

// Lets the event loop run (the watcher keeps answering) for a while.
void pause(std::chrono::milliseconds time)
{
    waitUntil([] { return false; }, time);
}

double mib(qint64 kib)
{
    return kib / 1024.0;
}

// Most of a resident set is library code shared with every other Qt program;
// the private dirty part is what this process alone costs.
void printPrivate(qint64 pid, qint64 barePid)
{
    const std::optional<qint64> own = privateDirtyKiB(pid);
    const std::optional<qint64> bare = privateDirtyKiB(barePid);
    if (own && bare) {
        print(compared(u"  of which private dirty (heap, stacks, relocated data) / same of bare"_s, mib(*own),
                       mib(*bare), u"MiB"_s, 1, std::nullopt));
    }
}

// Where `more` holds 64 KiB or more resident memory than `less`, mapping by
// mapping: the whole list goes to the log, the largest few into the text.
QString extras(const char *what, const QMap<QString, qint64> &more, const QMap<QString, qint64> &less)
{
    QList<std::pair<qint64, QString>> differences;
    for (auto it = more.begin(); it != more.end(); ++it) {
        if (const qint64 extra = it.value() - less.value(it.key()); extra >= 64)
            differences.append({extra, it.key()});
    }
    std::sort(differences.begin(), differences.end(), std::greater<>());
    QStringList largest;
    for (const auto &[kib, name] : differences) {
        std::fprintf(stderr, "vesko-bench-desktop: %s: %s %+.1f MiB\n", what, qPrintable(name), kib / 1024.0);
        if (largest.size() < 5)
            largest << u"%1 %2"_s.arg(name.section(u".so"_s, 0, 0), number(kib / 1024.0, 1));
    }
    return largest.join(u", "_s);
}

class DesktopBench
{
public:
    DesktopBench() { m_clock.start(); }

    // Empty when everything is in place.
    QString prepare();
    void measureStart();
    void measureIdle();

private:
    std::unique_ptr<QProcess> launch(const QString &program, const QStringList &arguments = {});
    // Started and its tray item registered; the time from start to registration in ms.
    std::optional<double> launchVesko(std::unique_ptr<QProcess> &vesko);
    std::optional<double> launchRegistered(QProcess &process);
    std::unique_ptr<QProcess> floor(const char *binary, const DevService &service, const QString &token);
    std::optional<double> bareStart();
    // The bench clock when `line` was seen on the process's output, if within `timeout`.
    std::optional<qint64> lineSeenAt(QProcess &process, const QByteArray &line, std::chrono::milliseconds timeout);
    // Clicks the tray item; the time until the next frame vesko logged, in ms.
    std::optional<double> clickToFrame();
    void followFrames(QProcess &vesko);
    bool quitVesko(QProcess &vesko);
    bool waitForLine(QProcess &process, const QByteArray &line, std::chrono::milliseconds timeout);
    // Read once the resident set has stopped moving (or after `longest`).
    std::optional<qint64> settledResident(qint64 pid, std::chrono::milliseconds least,
                                          std::chrono::milliseconds longest);
    QJsonArray requestLog() const;
    struct Watched
    {
        QList<WakeSample> vesko, job, headless, bare;
    };
    void reportWakeups(const Watched &window);
    void reportPanel(QProcess &vesko, qint64 idleKiB);

    QElapsedTimer m_clock;
    DevService m_service;
    // The floors poll services of their own, so each one's requests are its own.
    DevService m_jobService;
    DevService m_headlessService;
    QString m_jobToken;
    QString m_headlessToken;
    QList<qint64> m_frames; // when vesko logged a frame, on the bench clock
    QByteArray m_veskoErrors;
    std::unique_ptr<FakeWatcher> m_watcher; // only ever on the throwaway session's bus
    QTemporaryDir m_dir;
    QProcessEnvironment m_environment = QProcessEnvironment::systemEnvironment();
    QString m_registeredSender;
    QString m_lastSender;                 // of the item launchRegistered saw
    QMap<QString, qint64> m_idleMappings; // vesko's, before the panel was first shown
};

QString DesktopBench::prepare()
{
    if (qEnvironmentVariableIsEmpty("VESKO_TEST_KEYRING_PASSWORD"))
        return u"needs the throwaway session of scripts/with-test-session"_s;
    for (const DevService *service : {&m_service, &m_jobService, &m_headlessService}) {
        if (!service->failure().isEmpty())
            return service->failure();
    }
    m_jobToken = m_jobService.grantToken();
    m_headlessToken = m_headlessService.grantToken();
    if (m_jobToken.isEmpty() || m_headlessToken.isEmpty())
        return u"the floors' services gave no token"_s;
    m_watcher = std::make_unique<FakeWatcher>(u"bench-watcher"_s, &m_clock);
    if (!m_watcher->ready)
        return u"the fake watcher could not take its bus name"_s;
    // Signed in as if through the browser: the service's token in the keyring.
    const QString token = m_service.grantToken();
    keyring.save(token);
    if (token.isEmpty() || keyring.load() != token)
        return u"the token did not reach the throwaway keyring"_s;
    // Not a first run: the welcome window would open a window.
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, u"vesko"_s, u"vesko"_s);
    settings.setValue(u"VeskoWelcomed"_s, true);
    settings.sync();

    const QString info = m_dir.filePath(u"vesko-info.json"_s);
    QFile file(info);
    const QString base = m_service.base().toString();
    if (!file.open(QIODevice::WriteOnly)
        || file.write(QJsonDocument(QJsonObject{{u"VeskoAPIURL"_s, base}, {u"VeskoWebURL"_s, base}}).toJson()) <= 0)
        return u"cannot write the info file"_s;
    file.close();
    m_environment.insert(u"VESKO_INFO_FILE"_s, info);
    m_environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    m_environment.insert(u"QT_QUICK_BACKEND"_s, u"software"_s);
    m_environment.remove(u"DISPLAY"_s);
    m_environment.remove(u"WAYLAND_DISPLAY"_s);
    return {};
}

std::unique_ptr<QProcess> DesktopBench::launch(const QString &program, const QStringList &arguments)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(m_environment);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setProgram(program);
    process->setArguments(arguments);
    return process;
}

bool DesktopBench::waitForLine(QProcess &process, const QByteArray &line, std::chrono::milliseconds timeout)
{
    QByteArray seen;
    return waitUntil(
               [&] {
                   seen += process.readAllStandardOutput();
                   return seen.split('\n').contains(line) || process.state() == QProcess::NotRunning;
               },
               timeout)
           && seen.split('\n').contains(line);
}

std::optional<double> DesktopBench::launchRegistered(QProcess &process)
{
    const qsizetype before = m_watcher->registrations.size();
    const qint64 startNs = m_clock.nsecsElapsed();
    process.start();
    // Other programs may register meanwhile: only this one's item counts.
    const auto registration = [&]() -> const FakeWatcher::Registration * {
        for (qsizetype i = before; i < m_watcher->registrations.size(); ++i) {
            if (m_watcher->registrations[i].pid == process.processId())
                return &m_watcher->registrations[i];
        }
        return nullptr;
    };
    if (!waitUntil([&] { return registration() || process.state() == QProcess::NotRunning; }, 20s) || !registration())
        return std::nullopt;
    m_lastSender = registration()->sender;
    return (registration()->atNs - startNs) / 1e6;
}

std::optional<double> DesktopBench::launchVesko(std::unique_ptr<QProcess> &vesko)
{
    vesko = launch(QStringLiteral(VESKO_BINARY));
    const std::optional<double> ms = launchRegistered(*vesko);
    if (ms)
        m_registeredSender = m_lastSender;
    return ms;
}

std::unique_ptr<QProcess> DesktopBench::floor(const char *binary, const DevService &service, const QString &token)
{
    std::unique_ptr<QProcess> process = launch(QString::fromLocal8Bit(binary), {service.base().toString()});
    QProcessEnvironment environment = m_environment;
    environment.insert(u"VESKO_BENCH_TOKEN"_s, token);
    process->setProcessEnvironment(environment);
    return process;
}

std::optional<qint64> DesktopBench::lineSeenAt(QProcess &process, const QByteArray &line,
                                               std::chrono::milliseconds timeout)
{
    QByteArray seen;
    std::optional<qint64> at;
    waitUntil(
        [&] {
            seen += process.readAllStandardOutput();
            if (seen.split('\n').contains(line))
                at = m_clock.nsecsElapsed();
            return at || process.state() == QProcess::NotRunning;
        },
        timeout);
    return at;
}

// Vesko's own messages go on to the log; its frame lines are noted.
void DesktopBench::followFrames(QProcess &vesko)
{
    vesko.setProcessChannelMode(QProcess::SeparateChannels);
    QObject::connect(&vesko, &QProcess::readyReadStandardError, &vesko, [this, &vesko] {
        m_veskoErrors += vesko.readAllStandardError();
        for (qsizetype end = m_veskoErrors.indexOf('\n'); end >= 0; end = m_veskoErrors.indexOf('\n')) {
            const QByteArray line = m_veskoErrors.left(end + 1);
            m_veskoErrors.remove(0, end + 1);
            if (line.contains(frameLine))
                m_frames << m_clock.nsecsElapsed();
            else
                std::fwrite(line.constData(), 1, line.size(), stderr);
        }
    });
}

std::optional<double> DesktopBench::clickToFrame()
{
    QDBusMessage click = QDBusMessage::createMethodCall(m_registeredSender, u"/StatusNotifierItem"_s,
                                                        u"org.kde.StatusNotifierItem"_s, u"Activate"_s);
    click << 0 << 0;
    const qsizetype before = m_frames.size();
    const qint64 startNs = m_clock.nsecsElapsed();
    m_watcher->bus.asyncCall(click);
    if (!waitUntil([&] { return m_frames.size() > before; }, 20s))
        return std::nullopt;
    return (m_frames[before] - startNs) / 1e6;
}

std::optional<double> DesktopBench::bareStart()
{
    const std::unique_ptr<QProcess> bare = launch(QStringLiteral(BARE_GUI_BINARY), {u"--ready"_s});
    std::optional<qint64> readyNs;
    QObject::connect(bare.get(), &QProcess::readyReadStandardOutput, bare.get(), [&] {
        if (!readyNs)
            readyNs = m_clock.nsecsElapsed();
    });
    const qint64 startNs = m_clock.nsecsElapsed();
    bare->start();
    waitUntil([&] { return bare->state() == QProcess::NotRunning; }, 20s);
    if (bare->state() != QProcess::NotRunning) {
        bare->kill();
        bare->waitForFinished();
    }
    if (!readyNs || !bare->readAllStandardOutput().startsWith("ready"))
        return std::nullopt;
    return (*readyNs - startNs) / 1e6;
}

bool DesktopBench::quitVesko(QProcess &vesko)
{
    QDBusMessage click =
        QDBusMessage::createMethodCall(m_registeredSender, u"/MenuBar"_s, u"com.canonical.dbusmenu"_s, u"Event"_s);
    click << quitEntry << u"clicked"_s << QVariant::fromValue(QDBusVariant(0)) << 0u;
    m_watcher->bus.asyncCall(click);
    if (waitUntil([&] { return vesko.state() == QProcess::NotRunning; }, 10s))
        return vesko.exitStatus() == QProcess::NormalExit && vesko.exitCode() == 0;
    vesko.kill();
    vesko.waitForFinished(5000);
    return false;
}

void DesktopBench::measureStart()
{
    const QString figure = u"start to tray item registered, signed in (median of %1) / job floor"_s.arg(startRuns);
    const QString bareFigure = u"  same / bare QGuiApplication start to its first event loop turn"_s;
    // The first of each warms the caches; it is not counted.
    QList<double> vesko;
    QList<double> job;
    QList<double> bare;
    bool clean = true;
    for (int run = 0; run <= startRuns; ++run) {
        const std::optional<double> bareMs = bareStart();
        const std::unique_ptr<QProcess> jobFloor = floor(FLOOR_JOB_BINARY, m_jobService, m_jobToken);
        const std::optional<double> jobMs = launchRegistered(*jobFloor);
        jobFloor->kill();
        jobFloor->waitForFinished();
        std::unique_ptr<QProcess> process;
        const std::optional<double> veskoMs = launchVesko(process);
        clean = quitVesko(*process) && clean;
        if (!bareMs || !veskoMs || !jobMs) {
            const QString why = !veskoMs ? u"vesko registered no tray item"_s
                                : !jobMs ? u"the job floor registered no tray item"_s
                                         : u"the bare program did not start"_s;
            print(failed(figure, why));
            print(failed(bareFigure, why));
            return;
        }
        if (run > 0) {
            vesko << *veskoMs;
            job << *jobMs;
            bare << *bareMs;
        }
    }
    print(compared(figure, median(vesko), median(job), u"ms"_s, 1, 1.5));
    print(compared(bareFigure, median(vesko), median(bare), u"ms"_s, 1, 2.0));
    if (!clean)
        std::fprintf(stderr, "vesko-bench-desktop: vesko did not quit cleanly from its tray menu\n");
}

std::optional<qint64> DesktopBench::settledResident(qint64 pid, std::chrono::milliseconds least,
                                                    std::chrono::milliseconds longest)
{
    constexpr qint64 stillKiB = 64;
    QElapsedTimer waited;
    waited.start();
    std::optional<qint64> previous = residentKiB(pid);
    while (previous) {
        pause(1s);
        const std::optional<qint64> now = residentKiB(pid);
        if (!now)
            return std::nullopt;
        if ((waited.elapsed() >= least.count() && qAbs(*now - *previous) < stillKiB)
            || waited.elapsed() >= longest.count())
            return now;
        previous = now;
    }
    return std::nullopt;
}

constexpr auto idleFigure = "idle RSS, signed in, panel never opened, after the 2 min wake-up window / job floor";
constexpr auto wakeFigure = "wake-ups per minute, polls included (voluntary switches, all threads) / job floor";
constexpr auto statusFigure = "`vesko status --watch` RSS, beside the running vesko / headless floor";
constexpr auto clickFigure = "click to the panel's first frame / bare QQuickView built on demand, first frame";
constexpr auto panelFigure = "RSS with the panel shown / bare QQuickView, one rectangle";
constexpr auto hiddenFigure = "RSS a minute after the panel was hidden, above idle RSS";

// Every figure that needed the running vesko, when it never got that far.
void failedIdle(const QString &why)
{
    for (const char *figure : {idleFigure, wakeFigure, statusFigure, clickFigure, panelFigure, hiddenFigure})
        print(failed(QString::fromLatin1(figure), why));
}

std::optional<qint64> requestsSoFar(const DevService &service)
{
    const std::optional<DevService::Stats> stats = service.stats();
    return stats ? std::optional(stats->requests) : std::nullopt;
}

void stop(QProcess &process)
{
    process.kill();
    process.waitForFinished();
}

void DesktopBench::measureIdle()
{
    const std::optional<qint64> before = requestsSoFar(m_service);
    // All started together, so that their polls fall at the same times.
    const std::unique_ptr<QProcess> bare = launch(QStringLiteral(BARE_GUI_BINARY));
    const std::unique_ptr<QProcess> job = floor(FLOOR_JOB_BINARY, m_jobService, m_jobToken);
    const std::unique_ptr<QProcess> headless = floor(FLOOR_HEADLESS_BINARY, m_headlessService, m_headlessToken);
    std::unique_ptr<QProcess> vesko = launch(QStringLiteral(VESKO_BINARY));
    followFrames(*vesko);
    QProcessEnvironment environment = m_environment;
    environment.insert(u"QT_LOGGING_RULES"_s, QString::fromLatin1(frameLog));
    vesko->setProcessEnvironment(environment);
    bare->start();
    job->start();
    headless->start();
    const bool veskoUp = launchRegistered(*vesko).has_value();
    if (veskoUp)
        m_registeredSender = m_lastSender;
    const auto cleanUp = [&] {
        for (QProcess *process : {bare.get(), job.get(), headless.get()})
            stop(*process);
    };
    if (!before || !veskoUp || !waitForLine(*bare, "ready", 20s) || !lineSeenAt(*job, "polled", 20s)
        || !lineSeenAt(*headless, "polled", 20s)) {
        failedIdle(u"vesko or a floor did not come up"_s);
        cleanUp();
        if (veskoUp)
            quitVesko(*vesko);
        return;
    }
    // Polling for real: its first refresh reached the service.
    const bool polled = waitUntil(
        [&] {
            const std::optional<qint64> now = requestsSoFar(m_service);
            return now && *now >= *before + 3;
        },
        20s);
    if (!polled)
        std::fprintf(stderr, "vesko-bench-desktop: vesko's first refresh never reached the service\n");
    // Started once vesko has its figures, so that it can ask vesko for them.
    // `vesko status` execs vesko-status in the same process: the pid below is
    // the status program's, and so is the figure.
    const std::unique_ptr<QProcess> status = launch(QStringLiteral(VESKO_BINARY), {u"status"_s, u"--watch"_s});
    status->setStandardOutputFile(QProcess::nullDevice());
    status->start();
    pause(settleTime);

    const qint64 veskoPid = vesko->processId();
    const qsizetype logged = requestLog().size();
    Watched window;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() <= std::chrono::milliseconds(wakeWindow).count()) {
        const qint64 at = clock.elapsed();
        window.vesko.append({at, threadCounts(veskoPid), requestsSoFar(m_service).value_or(0)});
        window.job.append({at, threadCounts(job->processId()), requestsSoFar(m_jobService).value_or(0)});
        window.headless.append({at, threadCounts(headless->processId()), requestsSoFar(m_headlessService).value_or(0)});
        window.bare.append({at, threadCounts(bare->processId()), 0});
        pause(sampleEvery);
    }
    // What vesko asked of the service while it was watched, for the log.
    const QJsonArray log = requestLog();
    for (qsizetype i = logged; i < log.size(); ++i) {
        const QJsonObject entry = log.at(i).toObject();
        std::fprintf(stderr, "vesko-bench-desktop: in the window: %s %s at %s\n",
                     qPrintable(entry.value(u"method").toString()), qPrintable(entry.value(u"path").toString()),
                     qPrintable(entry.value(u"time").toString()));
    }

    const std::optional<qint64> veskoKiB = residentKiB(veskoPid);
    const std::optional<qint64> jobKiB = residentKiB(job->processId());
    const std::optional<qint64> bareKiB = residentKiB(bare->processId());
    if (!veskoKiB || !jobKiB || !bareKiB) {
        failedIdle(u"a process ended early"_s);
        cleanUp();
        stop(*status);
        quitVesko(*vesko);
        return;
    }
    print(compared(QString::fromLatin1(idleFigure), mib(*veskoKiB), mib(*jobKiB), u"MiB"_s, 1, 1.2));
    const auto pss = [](qint64 pid) { return mib(proportionalKiB(pid).value_or(0)); };
    print(compared(u"  PSS (shared pages split among their users) / job floor"_s, pss(veskoPid), pss(job->processId()),
                   u"MiB"_s, 1, std::nullopt));
    const auto dirty = [](qint64 pid) { return mib(privateDirtyKiB(pid).value_or(0)); };
    print(compared(u"  private dirty (heap, stacks, relocated data) / job floor"_s, dirty(veskoPid),
                   dirty(job->processId()), u"MiB"_s, 1, 1.5));
    print(compared(u"  idle RSS / bare QGuiApplication"_s, mib(*veskoKiB), mib(*bareKiB), u"MiB"_s, 1, 1.3));
    print(compared(u"  private dirty / bare QGuiApplication"_s, dirty(veskoPid), dirty(bare->processId()), u"MiB"_s, 1,
                   std::nullopt));
    print(Row{.figure = u"  largest RSS over the job floor, by mapping (MiB; all in the log)"_s,
              .measured = extras("idle RSS over the job floor", residentByMapping(veskoPid),
                                 residentByMapping(job->processId()))});
    reportWakeups(window);

    const QString statusFigureText = QString::fromLatin1(statusFigure);
    const std::optional<qint64> statusKiB = residentKiB(status->processId());
    const std::optional<qint64> headlessKiB = residentKiB(headless->processId());
    if (statusKiB && headlessKiB) {
        print(compared(statusFigureText, mib(*statusKiB), mib(*headlessKiB), u"MiB"_s, 1, 1.3));
        print(compared(u"  private dirty / headless floor"_s, dirty(status->processId()), dirty(headless->processId()),
                       u"MiB"_s, 1, std::nullopt));
    } else {
        print(failed(statusFigureText, status->state() == QProcess::NotRunning
                                           ? u"`vesko status --watch` ended, exit code %1"_s.arg(status->exitCode())
                                           : u"the headless floor ended"_s));
    }
    cleanUp();
    stop(*status);

    m_idleMappings = residentByMapping(veskoPid);
    reportPanel(*vesko, *veskoKiB);
    if (!quitVesko(*vesko))
        std::fprintf(stderr, "vesko-bench-desktop: vesko did not quit cleanly from its tray menu\n");
}

QJsonArray DesktopBench::requestLog() const
{
    return QJsonDocument::fromJson(m_service.call("GET", u"_control/log"_s).body).array();
}

double perMinute(qint64 switches, qint64 ms)
{
    return ms > 0 ? switches * 60000.0 / ms : 0;
}

void DesktopBench::reportWakeups(const Watched &window)
{
    const QString figure = QString::fromLatin1(wakeFigure);
    const QList<WakeSample> &vesko = window.vesko;
    for (qsizetype i = 1; i < vesko.size(); ++i) {
        if (vesko[i].serviceRequests > vesko[i - 1].serviceRequests)
            std::fprintf(stderr, "vesko-bench-desktop: %lld request(s) in the window at %.1f s\n",
                         static_cast<long long>(vesko[i].serviceRequests - vesko[i - 1].serviceRequests),
                         vesko[i].atMs / 1000.0);
    }
    if (vesko.size() < 2 || vesko.last().threads.isEmpty() || window.job.last().threads.isEmpty()) {
        print(failed(figure, u"vesko or the job floor ended during the window"_s));
        return;
    }
    const WakeSplit split = splitWakeups(vesko);
    const WakeSplit job = splitWakeups(window.job);
    const WakeSplit headless = splitWakeups(window.headless);
    const WakeSplit bare = splitWakeups(window.bare);
    const auto whole = [](const WakeSplit &s) {
        return perMinute(s.idleSwitches + s.pollSwitches, s.idleMs + s.pollMs);
    };
    print(compared(figure, whole(split), whole(job), u"/min"_s, 1, 1.2));
    print(Row{.figure = u"  polls in the %1 s window: vesko / job floor / headless floor"_s.arg(
                  qRound((split.idleMs + split.pollMs) / 1000.0)),
              .measured = u"%1 / %2 / %3"_s.arg(split.polls).arg(job.polls).arg(headless.polls)});
    print(compared(u"  wake-ups per minute between polls / 1 poll"_s, split.idlePerMinute(), 1, u"/min"_s, 1, 3.0));
    print(Row{.figure = u"  context switches around service calls: vesko / job floor"_s,
              .measured = u"%1 / %2"_s.arg(split.pollSwitches).arg(job.pollSwitches)});
    for (auto it = split.idleByThread.begin(); it != split.idleByThread.end(); ++it) {
        print(Row{.figure = u"  vesko thread '%1': between calls / around calls"_s.arg(it.key()),
                  .measured = u"%1 /min / %2"_s.arg(number(perMinute(it.value(), split.idleMs), 1))
                                  .arg(split.pollByThread.value(it.key()))});
    }
    if (split.threadsLost)
        std::fprintf(
            stderr,
            "vesko-bench-desktop: a thread of vesko ended inside the window; its last switches are not counted\n");
    print(Row{.figure = u"  job floor between polls; headless floor and bare QGuiApplication, whole window"_s,
              .measured = u"%1 /min; %2 /min; %3 /min"_s.arg(number(job.idlePerMinute(), 1), number(whole(headless), 1),
                                                             number(whole(bare), 1))});
}

void DesktopBench::reportPanel(QProcess &vesko, qint64 idleKiB)
{
    const std::unique_ptr<QProcess> bare = launch(QStringLiteral(BARE_QUICK_BINARY), {u"--on-demand"_s});
    bare->start();
    if (!waitForLine(*bare, "ready", 20s)) {
        for (const char *figure : {clickFigure, panelFigure, hiddenFigure})
            print(failed(QString::fromLatin1(figure), u"the bare view did not start"_s));
        stop(*bare);
        return;
    }
    const qint64 bareClickNs = m_clock.nsecsElapsed();
    bare->write("show\n");
    const std::optional<qint64> bareFrameNs = lineSeenAt(*bare, "rendered", 20s);
    const std::optional<double> clickMs = clickToFrame();
    if (clickMs && bareFrameNs) {
        print(
            compared(QString::fromLatin1(clickFigure), *clickMs, (*bareFrameNs - bareClickNs) / 1e6, u"ms"_s, 1, 1.5));
    } else {
        print(failed(QString::fromLatin1(clickFigure),
                     clickMs ? u"the bare view never rendered"_s : u"vesko logged no frame after the click"_s));
    }

    // Read once the memory has stopped moving: the panel may still be filling in.
    const std::optional<qint64> veskoKiB = settledResident(vesko.processId(), 3s, 15s);
    const std::optional<qint64> bareKiB = settledResident(bare->processId(), 3s, 15s);
    if (veskoKiB && bareKiB) {
        print(compared(QString::fromLatin1(panelFigure), mib(*veskoKiB), mib(*bareKiB), u"MiB"_s, 1, 1.3));
        printPrivate(vesko.processId(), bare->processId());
        print(Row{.figure = u"  RSS added to vesko by showing the panel"_s,
                  .measured = number(mib(*veskoKiB - idleKiB), 1) + u" MiB"_s});
    } else {
        print(failed(QString::fromLatin1(panelFigure), u"a process ended early"_s));
    }
    stop(*bare);

    // A second click on the item hides the panel again.
    const qsizetype framesShown = m_frames.size();
    QDBusMessage click = QDBusMessage::createMethodCall(m_registeredSender, u"/StatusNotifierItem"_s,
                                                        u"org.kde.StatusNotifierItem"_s, u"Activate"_s);
    click << 0 << 0;
    m_watcher->bus.asyncCall(click);
    pause(hiddenWait);
    const std::optional<qint64> hiddenKiB = residentKiB(vesko.processId());
    if (hiddenKiB) {
        print(bounded(QString::fromLatin1(hiddenFigure), mib(*hiddenKiB - idleKiB), u"MiB"_s, 1, 2.0,
                      u"idle "_s + number(mib(idleKiB), 1) + u" MiB"_s));
        print(Row{.figure = u"  largest RSS kept over idle, by mapping (MiB; all in the log)"_s,
                  .measured = extras("RSS after the panel was hidden, over idle", residentByMapping(vesko.processId()),
                                     m_idleMappings)});
    } else {
        print(failed(QString::fromLatin1(hiddenFigure), u"vesko ended"_s));
        return;
    }
    if (m_frames.size() > framesShown + 5)
        std::fprintf(stderr, "vesko-bench-desktop: vesko drew %lld frames after the click that hides the panel\n",
                     static_cast<long long>(m_frames.size() - framesShown));
    // Opening it again after the wait, when whatever was released must come back.
    const std::optional<double> againMs = clickToFrame();
    print(Row{.figure = u"  click to first frame, opened again after that wait"_s,
              .measured = againMs ? number(*againMs, 1) + u" ms"_s : u"no frame"_s});
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    DesktopBench bench;
    if (const QString problem = bench.prepare(); !problem.isEmpty()) {
        std::fprintf(stderr, "vesko-bench-desktop: %s\n", qPrintable(problem));
        print(failed(u"desktop figures"_s, problem));
        return 1;
    }
    bench.measureStart();
    bench.measureIdle();
    keyring.remove();
    return 0;
}
