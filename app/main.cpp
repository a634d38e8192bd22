// Vesko: one process per session. A later launch hands its arguments to the
// running one and leaves: that is how the browser's sign-in callback
// (`vesko vesko://callback?code=…`) gets home.
#include "AppModel.h"
#include "Appearance.h"
#include "LinuxPlatform.h"
#include "Palette.h"
#include "PanelController.h"
#include "SingleInstance.h"
#include "Windows.h"

#include <QGuiApplication>
#include <QUrl>

using namespace vesko;

namespace {

QStringList argumentsOf(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

} // namespace

int main(int argc, char **argv)
{
    const QStringList arguments = argumentsOf(argc, argv);
    // Before anything graphical: a hand-over must be quick and needs no display.
    if (SingleInstance::forward(QStringLiteral("vesko"), arguments))
        return 0;

    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("vesko"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Vesko"));
    QGuiApplication::setApplicationVersion(QStringLiteral(VESKO_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("app.vesko.Vesko"));
    QGuiApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance;
    if (!instance.listen()) {
        // Another one came up meanwhile: it gets the arguments after all.
        return SingleInstance::forward(QStringLiteral("vesko"), arguments) ? 0 : 1;
    }

    LinuxPlatform platform(QStringLiteral("vesko"), QStringLiteral(VESKO_VERSION));
    AppModel model(platform.environment(VeskoConfig::fromInstalledInfo()));

    Appearance appearance;
    Palette palette;
    palette.follow(appearance);
    PanelController panel(model, palette);
    Windows windows(panel, platform.settings());

    // A vesko: URL is the browser coming back from sign-in; a plain second
    // launch means "show me Vesko".
    auto handle = [&](const QStringList &received, bool reopened) {
        bool callback = false;
        for (const QString &argument : received) {
            const QUrl url(argument, QUrl::StrictMode);
            if (url.scheme() == u"vesko") {
                model.handleCallback(url);
                callback = true;
            }
        }
        if (reopened && !callback)
            windows.openPanel();
    };
    QObject::connect(&instance, &SingleInstance::received, &model,
                     [&](const QStringList &received) { handle(received, true); });
    handle(arguments, false);

    // No tray item yet: the panel window is the way in.
    if (!windows.showWelcomeIfNeeded())
        windows.openPanel();
    return app.exec();
}
