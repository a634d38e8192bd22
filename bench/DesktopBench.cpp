// The real `vesko` on a throwaway desktop (scripts/with-test-session): signed
// in against the demo service, offscreen, its tray item taken by a fake
// watcher in this process. Measures start to tray item registered, idle
// memory, wake-ups between polls and memory after the panel was shown, each
// against a bare Qt program started the same way in the same run.
#include "DevService.h"
#include "FakeWatcher.h"
#include "Probe.h"
#include "Table.h"

#include "TokenStore.h"

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

#include <cstdio>
#include <functional>
#include <memory>

using namespace vesko;
using namespace vesko::bench;
using namespace std::chrono_literals;

namespace {

constexpr int startRuns = 7;
constexpr auto settleTime = 5s;
constexpr auto wakeWindow = 60s;
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
        print(compared(QStringLiteral("  of which private dirty (heap, stacks, relocated data) / same of bare"), mib(*own),
                       mib(*bare), QStringLiteral("MiB"), 1, std::nullopt));
    }
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
    std::optional<double> bareStart();
    bool quitVesko(QProcess &vesko);
    bool waitForLine(QProcess &process, const QByteArray &line, std::chrono::milliseconds timeout);
    // Read once the resident set has stopped moving (or after `longest`).
    std::optional<qint64> settledResident(qint64 pid, std::chrono::milliseconds least, std::chrono::milliseconds longest);
    QJsonArray requestLog() const;
    void reportWakeups(const QList<WakeSample> &vesko, const QList<WakeSample> &bare);
    void reportPanel(QProcess &vesko, qint64 idleKiB);

    QElapsedTimer m_clock;
    DevService m_service;
    std::unique_ptr<FakeWatcher> m_watcher; // only ever on the throwaway session's bus
    QTemporaryDir m_dir;
    QProcessEnvironment m_environment = QProcessEnvironment::systemEnvironment();
    QString m_registeredSender;
};

QString DesktopBench::prepare()
{
    if (qEnvironmentVariableIsEmpty("VESKO_TEST_KEYRING_PASSWORD"))
        return QStringLiteral("needs the throwaway session of scripts/with-test-session");
    if (!m_service.failure().isEmpty())
        return m_service.failure();
    m_watcher = std::make_unique<FakeWatcher>(m_clock);
    if (!m_watcher->ready)
        return QStringLiteral("the fake watcher could not take its bus name");
    // Signed in as if through the browser: the service's token in the keyring.
    const QString token = m_service.grantToken();
    TokenStore::save(token);
    if (token.isEmpty() || TokenStore::load() != token)
        return QStringLiteral("the token did not reach the throwaway keyring");
    // Not a first run: the welcome window would open a window.
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("vesko"), QStringLiteral("vesko"));
    settings.setValue(QStringLiteral("VeskoWelcomed"), true);
    settings.sync();

    const QString info = m_dir.filePath(QStringLiteral("vesko-info.json"));
    QFile file(info);
    const QString base = m_service.base().toString();
    if (!file.open(QIODevice::WriteOnly)
        || file.write(QJsonDocument(QJsonObject{{QStringLiteral("VeskoAPIURL"), base}, {QStringLiteral("VeskoWebURL"), base}}).toJson()) <= 0)
        return QStringLiteral("cannot write the info file");
    file.close();
    m_environment.insert(QStringLiteral("VESKO_INFO_FILE"), info);
    m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_environment.insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));
    m_environment.remove(QStringLiteral("DISPLAY"));
    m_environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
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

std::optional<double> DesktopBench::launchVesko(std::unique_ptr<QProcess> &vesko)
{
    vesko = launch(QStringLiteral(VESKO_BINARY));
    const qsizetype before = m_watcher->registrations.size();
    const qint64 startNs = m_clock.nsecsElapsed();
    vesko->start();
    if (!waitUntil([&] { return m_watcher->registrations.size() > before || vesko->state() == QProcess::NotRunning; }, 20s)
        || m_watcher->registrations.size() == before)
        return std::nullopt;
    m_registeredSender = m_watcher->registrations.last().sender;
    return (m_watcher->registrations.last().atNs - startNs) / 1e6;
}

std::optional<double> DesktopBench::bareStart()
{
    const std::unique_ptr<QProcess> bare = launch(QStringLiteral(BARE_GUI_BINARY), {QStringLiteral("--ready")});
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
    QDBusMessage click = QDBusMessage::createMethodCall(m_registeredSender, QStringLiteral("/MenuBar"),
                                                        QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("Event"));
    click << quitEntry << QStringLiteral("clicked") << QVariant::fromValue(QDBusVariant(0)) << 0u;
    m_watcher->bus.asyncCall(click);
    if (waitUntil([&] { return vesko.state() == QProcess::NotRunning; }, 10s))
        return vesko.exitStatus() == QProcess::NormalExit && vesko.exitCode() == 0;
    vesko.kill();
    vesko.waitForFinished(5000);
    return false;
}

void DesktopBench::measureStart()
{
    const QString figure = QStringLiteral("start to tray item registered, signed in (median of %1) / bare QGuiApplication start").arg(startRuns);
    // The first of each warms the caches; it is not counted.
    QList<double> vesko;
    QList<double> bare;
    bool clean = true;
    for (int run = 0; run <= startRuns; ++run) {
        const std::optional<double> bareMs = bareStart();
        std::unique_ptr<QProcess> process;
        const std::optional<double> veskoMs = launchVesko(process);
        clean = quitVesko(*process) && clean;
        if (!bareMs || !veskoMs) {
            print(failed(figure, !veskoMs ? QStringLiteral("vesko registered no tray item") : QStringLiteral("the bare program did not start")));
            return;
        }
        if (run > 0) {
            vesko << *veskoMs;
            bare << *bareMs;
        }
    }
    print(compared(figure, median(vesko), median(bare), QStringLiteral("ms"), 1, 2.0));
    if (!clean)
        std::fprintf(stderr, "vesko-bench-desktop: vesko did not quit cleanly from its tray menu\n");
}

std::optional<qint64> DesktopBench::settledResident(qint64 pid, std::chrono::milliseconds least, std::chrono::milliseconds longest)
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
        if ((waited.elapsed() >= least.count() && qAbs(*now - *previous) < stillKiB) || waited.elapsed() >= longest.count())
            return now;
        previous = now;
    }
    return std::nullopt;
}

constexpr auto idleFigure = "idle RSS, signed in, panel never opened / bare QGuiApplication";
constexpr auto wakeFigure = "wake-ups per minute between polls (voluntary switches, all threads) / 1 poll";
constexpr auto panelFigure = "RSS after the panel was shown once / bare QQuickView, one rectangle";

// Every figure that needed the running vesko, when it never got that far.
void failedIdle(const QString &why)
{
    for (const char *figure : {idleFigure, wakeFigure, panelFigure})
        print(failed(QString::fromLatin1(figure), why));
}

void DesktopBench::measureIdle()
{
    const std::optional<DevService::Stats> before = m_service.stats();
    std::unique_ptr<QProcess> vesko;
    const std::unique_ptr<QProcess> bare = launch(QStringLiteral(BARE_GUI_BINARY));
    bare->start();
    if (!before || !launchVesko(vesko) || !waitForLine(*bare, "ready", 20s)) {
        failedIdle(QStringLiteral("vesko or the bare program did not come up"));
        return;
    }
    // Polling for real: its first refresh reached the service.
    const bool polled = waitUntil(
        [&] {
            const std::optional<DevService::Stats> now = m_service.stats();
            return now && now->requests >= before->requests + 3;
        },
        20s);
    if (!polled)
        std::fprintf(stderr, "vesko-bench-desktop: vesko's first refresh never reached the service\n");
    pause(settleTime);

    const qint64 veskoPid = vesko->processId();
    const qint64 barePid = bare->processId();
    const std::optional<qint64> veskoKiB = residentKiB(veskoPid);
    const std::optional<qint64> bareKiB = residentKiB(barePid);
    if (!veskoKiB || !bareKiB) {
        failedIdle(QStringLiteral("a process ended early"));
        return;
    }
    print(compared(QString::fromLatin1(idleFigure), mib(*veskoKiB), mib(*bareKiB), QStringLiteral("MiB"), 1, 1.3));
    printPrivate(veskoPid, barePid);

    const qsizetype logged = requestLog().size();
    QList<WakeSample> veskoSamples;
    QList<WakeSample> bareSamples;
    QElapsedTimer window;
    window.start();
    while (window.elapsed() <= std::chrono::milliseconds(wakeWindow).count()) {
        const std::optional<DevService::Stats> stats = m_service.stats();
        veskoSamples.append({window.elapsed(), threadCounts(veskoPid), stats ? stats->requests : 0});
        bareSamples.append({window.elapsed(), threadCounts(barePid), 0});
        pause(sampleEvery);
    }
    // What vesko asked of the service while it was watched, for the log.
    const QJsonArray log = requestLog();
    for (qsizetype i = logged; i < log.size(); ++i) {
        const QJsonObject entry = log.at(i).toObject();
        std::fprintf(stderr, "vesko-bench-desktop: in the window: %s %s at %s\n", qPrintable(entry.value(u"method").toString()),
                     qPrintable(entry.value(u"path").toString()), qPrintable(entry.value(u"time").toString()));
    }
    reportWakeups(veskoSamples, bareSamples);
    bare->kill();
    bare->waitForFinished();

    reportPanel(*vesko, *veskoKiB);
    if (!quitVesko(*vesko))
        std::fprintf(stderr, "vesko-bench-desktop: vesko did not quit cleanly from its tray menu\n");
}

QJsonArray DesktopBench::requestLog() const
{
    return QJsonDocument::fromJson(m_service.call("GET", QStringLiteral("_control/log")).body).array();
}

void DesktopBench::reportWakeups(const QList<WakeSample> &vesko, const QList<WakeSample> &bare)
{
    const QString figure = QString::fromLatin1(wakeFigure);
    const WakeSplit split = splitWakeups(vesko);
    for (qsizetype i = 1; i < vesko.size(); ++i) {
        if (vesko[i].serviceRequests > vesko[i - 1].serviceRequests)
            std::fprintf(stderr, "vesko-bench-desktop: %lld request(s) in the window at %.1f s\n",
                         static_cast<long long>(vesko[i].serviceRequests - vesko[i - 1].serviceRequests), vesko[i].atMs / 1000.0);
    }
    if (vesko.size() < 2 || vesko.last().threads.isEmpty()) {
        print(failed(figure, QStringLiteral("vesko ended during the window")));
        return;
    }
    print(compared(figure, split.idlePerMinute(), 1, QStringLiteral("/min"), 1, 3.0));
    const double windowMs = split.idleMs + split.pollMs;
    print(Row{.figure = QStringLiteral("  context switches around service calls in the %1 s window").arg(qRound(windowMs / 1000)),
              .measured = QStringLiteral("%1 in %2 burst(s)").arg(split.pollSwitches).arg(split.polls)});
    print(Row{.figure = QStringLiteral("  wake-ups per minute, whole window, service calls included"),
              .measured = number((split.idleSwitches + split.pollSwitches) * 60000.0 / windowMs, 1) + QStringLiteral(" /min")});
    for (auto it = split.idleByThread.begin(); it != split.idleByThread.end(); ++it) {
        print(Row{.figure = QStringLiteral("  thread '%1': between calls / around calls").arg(it.key()),
                  .measured = QStringLiteral("%1 /min / %2").arg(number(split.idleMs > 0 ? it.value() * 60000.0 / split.idleMs : 0, 1))
                                  .arg(split.pollByThread.value(it.key()))});
    }
    if (split.threadsLost)
        std::fprintf(stderr, "vesko-bench-desktop: a thread of vesko ended inside the window; its last switches are not counted\n");
    const WakeSplit bareSplit = splitWakeups(bare);
    print(Row{.figure = QStringLiteral("  bare QGuiApplication idling, same window"),
              .measured = number(bareSplit.idlePerMinute(), 1) + QStringLiteral(" /min")});
}

void DesktopBench::reportPanel(QProcess &vesko, qint64 idleKiB)
{
    const QString figure = QString::fromLatin1(panelFigure);
    const std::unique_ptr<QProcess> bare = launch(QStringLiteral(BARE_QUICK_BINARY));
    bare->start();
    // A plain second start: the running vesko opens its panel.
    const std::unique_ptr<QProcess> second = launch(QStringLiteral(VESKO_BINARY));
    second->start();
    const bool handedOver = waitUntil([&] { return second->state() == QProcess::NotRunning; }, 20s)
                            && second->exitStatus() == QProcess::NormalExit && second->exitCode() == 0;
    if (!handedOver || !waitForLine(*bare, "rendered", 20s)) {
        print(failed(figure, handedOver ? QStringLiteral("the bare view never rendered") : QStringLiteral("the second start failed")));
        bare->kill();
        bare->waitForFinished();
        return;
    }
    // The panel gives no sign of its first frame: wait until its memory stops moving.
    const std::optional<qint64> veskoKiB = settledResident(vesko.processId(), 3s, 15s);
    const std::optional<qint64> bareKiB = settledResident(bare->processId(), 3s, 15s);
    if (veskoKiB && bareKiB) {
        print(compared(figure, mib(*veskoKiB), mib(*bareKiB), QStringLiteral("MiB"), 1, 1.3));
        printPrivate(vesko.processId(), bare->processId());
        print(Row{.figure = QStringLiteral("  RSS added to vesko by showing the panel"),
                  .measured = number(mib(*veskoKiB - idleKiB), 1) + QStringLiteral(" MiB")});
    } else {
        print(failed(figure, QStringLiteral("a process ended early")));
    }
    bare->kill();
    bare->waitForFinished();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    DesktopBench bench;
    if (const QString problem = bench.prepare(); !problem.isEmpty()) {
        std::fprintf(stderr, "vesko-bench-desktop: %s\n", qPrintable(problem));
        print(failed(QStringLiteral("desktop figures"), problem));
        return 1;
    }
    bench.measureStart();
    bench.measureIdle();
    TokenStore::remove();
    return 0;
}
