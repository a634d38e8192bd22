// Vesko: one process per session. A later launch hands its arguments to the
// running one and leaves: that is how the browser's sign-in callback
// (`vesko vesko://callback?code=…`) gets home.
#include "app/cli/StatusCommand.h"
#include "app/cli/StatusHandOver.h"
#include "app/core/AppDelegate.h"
#include "app/core/AppModel.h"
#include "app/core/MilestoneWatcher.h"
#include "app/core/SaleWatcher.h"
#include "app/core/UpdateNotices.h"
#include "app/core/Updater.h"
#include "app/linux/DesktopUrlOpener.h"
#include "app/linux/FreedesktopNotifier.h"
#include "app/linux/LinuxPlatform.h"
#include "app/linux/NoPushTransport.h"
#include "app/linux/PortalColorScheme.h"
#include "app/linux/ProcessMemoryTrim.h"
#include "app/linux/SessionPlatform.h"
#include "app/linux/SingleInstance.h"
#include "app/linux/SqliteRevenueHistory.h"
#include "app/linux/SystemLog.h"
#include "app/linux/TrayWatcherProbe.h"
#include "app/ui/Appearance.h"
#include "app/ui/LazyPanelViews.h"
#include "app/ui/Palette.h"
#include "app/ui/Parts.h"
#include "app/ui/Snout.h"
#include "app/ui/tray/OldTray.h"
#include "app/ui/tray/TrayIcon.h"

#include <QDBusConnection>
#include <QGuiApplication>
#include <QIcon>
#include <QLibrary>
#include <QUrl>

#include <cstdio>
#include <cstring>
#include <functional>

using namespace Qt::StringLiterals;

using namespace vesko;

namespace {

const QString signInOption = u"--sign-in"_s;

QStringList argumentsOf(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

bool wantsHelp(const QStringList &arguments)
{
    return arguments.value(0) == u"--help" || arguments.value(0) == u"-h";
}

} // namespace

int main(int argc, char **argv)
{
    // For status bars and scripts: a program of its own, without the GUI
    // libraries, the display or the tray; never handed to the running Vesko.
    if (argc > 1 && std::strcmp(argv[1], "status") == 0)
        return handOverToStatus(argv);
    const QStringList arguments = argumentsOf(argc, argv);
    if (wantsHelp(arguments)) {
        std::printf("usage: vesko [--sign-in | vesko:URL]\n"
                    "       vesko status [--format plain|json|genmon] [--watch] [--running]\n"
                    "  Shows the monthly recurring revenue in the top bar. A second start hands\n"
                    "  its arguments to the running Vesko: --sign-in starts signing in in the\n"
                    "  browser, a vesko: URL is the browser's answer, nothing opens the panel.\n"
                    "  status prints the figure for status bars (exit 3: signed out, 4: offline).\n");
        return 0;
    }
    // Before anything graphical: a hand-over must be quick and needs no display.
    if (SingleInstance::forward(u"vesko"_s, arguments))
        return 0;

    const QByteArray displayPlatform = preferredPlatform(QProcessEnvironment::systemEnvironment());
    if (!displayPlatform.isEmpty())
        qputenv("QT_QPA_PLATFORM", displayPlatform);
    // The old system tray, for desktops without a StatusNotifierWatcher, is
    // drawn with widgets, which need a QApplication: only there is the part
    // with widgets loaded, and it makes the application object.
    QLibrary widgetsPart(partPath(u"vesko-oldtray.so"_s));
    widgetsPart.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    MakeWidgetsApplication makeWidgetsApplication = nullptr;
    MakeOldTray makeOldTray = nullptr;
    const bool oldTrayMayBeNeeded = !statusNotifierWatcherRuns();
    if (oldTrayMayBeNeeded) {
        makeWidgetsApplication =
            reinterpret_cast<MakeWidgetsApplication>(widgetsPart.resolve(makeWidgetsApplicationSymbol));
        makeOldTray = reinterpret_cast<MakeOldTray>(widgetsPart.resolve(makeOldTraySymbol));
    }
    const std::unique_ptr<QGuiApplication> app(
        makeWidgetsApplication && makeOldTray ? makeWidgetsApplication(argc, argv) : new QGuiApplication(argc, argv));
    if (!displayPlatform.isEmpty())
        qunsetenv("QT_QPA_PLATFORM"); // not for the browser and whatever else we start
    if (oldTrayMayBeNeeded && !makeOldTray)
        qWarning("Cannot load the old system tray from %s: %s", qPrintable(widgetsPart.fileName()),
                 qPrintable(widgetsPart.errorString()));
    QGuiApplication::setApplicationName(u"vesko"_s);
    QGuiApplication::setApplicationDisplayName(u"Vesko"_s);
    QGuiApplication::setApplicationVersion(QStringLiteral(VESKO_VERSION));
    QGuiApplication::setDesktopFileName(u"app.vesko.Vesko"_s);
    // Taskbars that read the window's own icon show the snout, not a generic one.
    QGuiApplication::setWindowIcon(QIcon::fromTheme(u"app.vesko.Vesko"_s, snoutIcon(QColor(Qt::black))));
    QGuiApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance;
    if (!instance.listen()) {
        // Another one came up meanwhile: it gets the arguments after all.
        return SingleInstance::forward(u"vesko"_s, arguments) ? 0 : 1;
    }

    LinuxPlatform platform(QGuiApplication::applicationFilePath(), QStringLiteral(VESKO_VERSION));
    FreedesktopNotifier notifier;
    NoPushTransport push;
    AppModel::Environment environment = platform.environment(VeskoConfig::fromInstalledInfo());
    // The keyring may take a while: the tray item goes up meanwhile.
    environment.tokenInBackground = true;
    AppDelegate delegate(std::move(environment), notifier, push, writeSystemLog);
    AppModel &model = delegate.model();
    // Whatever asks whether we are signed in waits until that is known.
    const auto onceTokenKnown = [&model](std::function<void()> then) {
        if (!model.isTokenPending())
            return then();
        QObject::connect(&model, &AppModel::tokenSettled, &model, std::move(then), Qt::SingleShotConnection);
    };
    // `vesko status` and panel widgets read the figure from here, not the service.
    serveStatus(instance, model);

    // Without a push service, news of sales comes from the refreshes themselves.
    SaleWatcher sales(model, notifier, platform.settings(), [&delegate] { return delegate.pushRegistered(); });
    // The MRR kept over time, for the trend line, and its round figures passed.
    SqliteRevenueHistory history;
    MilestoneWatcher milestones(model, notifier, platform.settings(), history,
                                [&model] { return model.projectScope(); });

    // Read before the first icon is drawn, so that it has the right colour.
    PortalColorScheme desktopScheme;
    Appearance appearance(desktopScheme);
    Palette palette;
    palette.follow(appearance);
    // Update news gets a notifier of its own: a click on it opens the download
    // page, not the dashboard.
    FreedesktopNotifier updateNotifier;
    DesktopUrlOpener downloadPages;
    std::unique_ptr<UpdateNotices> updates;
    if (Updater *updater = model.updater())
        updates =
            std::make_unique<UpdateNotices>(*updater, updateNotifier, downloadPages, QStringLiteral(VESKO_VERSION));

    // Qt Quick and the views come in on first show and go again after.
    ProcessMemoryTrim trim;
    LazyPanelViews views({.model = model,
                          .palette = palette,
                          .settings = platform.settings(),
                          .sales = &sales,
                          .updates = updates.get(),
                          .history = &history,
                          .milestones = &milestones},
                         partPath(u"vesko-views.so"_s), &trim);
    TrayIcon::MakeOldTray oldTray;
    if (makeOldTray)
        oldTray = [makeOldTray](const OldTrayTitles &titles) { return std::unique_ptr<OldTray>(makeOldTray(titles)); };
    TrayIcon tray(model, appearance, QDBusConnection::sessionBus(), std::move(oldTray));
    QObject::connect(&tray, &TrayIcon::activated, &views, &LazyPanelViews::toggleDropDown);
    QObject::connect(&tray, &TrayIcon::openPanelRequested, &views, [&] { views.toggleDropDown(QPoint()); });
    // exit, not quit: a QGuiApplication's quit first asks every window to
    // close, and ours only hide, which would cancel it.
    QObject::connect(&tray, &TrayIcon::quitRequested, app.get(), [] { QCoreApplication::exit(0); });
    const auto followTray = [&] { views.setTrayShowsText(tray.labelShown()); };
    QObject::connect(&tray, &TrayIcon::labelShownChanged, &views, followTray);
    followTray();

    // A vesko: URL is the browser coming back from sign-in; --sign-in starts
    // one (for status-bar users without a tray); a plain second launch means
    // "show me Vesko".
    auto handle = [&](const QStringList &received, bool reopened) {
        bool handled = false;
        for (const QString &argument : received) {
            const QUrl url(argument, QUrl::StrictMode);
            if (url.scheme() == u"vesko") {
                model.handleCallback(url);
                handled = true;
            } else if (argument == signInOption) {
                if (!model.isSignedIn() && !model.isSignInPending())
                    model.signIn();
                handled = true;
            }
        }
        if (reopened && !handled)
            delegate.reopen();
    };
    QObject::connect(&instance, &SingleInstance::received, &model, [&](const QStringList &received) {
        onceTokenKnown([&handle, received] { handle(received, true); });
    });

    const bool inTray = tray.show();
    delegate.finishLaunching(views);
    onceTokenKnown([&handle, &arguments] { handle(arguments, false); });
    // Nowhere to click: the panel in a window is the way in.
    if (!inTray && !views.welcomeShowing())
        views.openPanel();
    return QGuiApplication::exec();
}
