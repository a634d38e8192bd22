// The floor for vesko's panel: a QQuickView with one rectangle the panel's
// width, on whatever renderer the environment picks. Prints "rendered" after
// its first frame, then idles until killed. With --on-demand it first prints
// "ready" and builds the view only when a line arrives on its standard input,
// as a tray program does on a click.
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickView>
#include <QSocketNotifier>

#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

namespace {

std::unique_ptr<QQuickView> showView()
{
    auto view = std::make_unique<QQuickView>();
    QQmlComponent component(view->engine());
    component.setData("import QtQuick\nRectangle { width: 360; height: 540; color: \"#f4efe6\" }\n", QUrl());
    QObject *root = component.create();
    if (!root) {
        std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
        return nullptr;
    }
    view->setContent(QUrl(), &component, root);
    QObject::connect(view.get(), &QQuickWindow::frameSwapped, qApp, [] {
        static bool once = false;
        if (std::exchange(once, true))
            return;
        std::puts("rendered");
        std::fflush(stdout);
    });
    view->show();
    return view;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    std::unique_ptr<QQuickView> view;
    if (argc < 2 || std::strcmp(argv[1], "--on-demand") != 0) {
        view = showView();
        return view ? app.exec() : 1;
    }
    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char line[64];
        if (!std::fgets(line, sizeof line, stdin)) {
            input.setEnabled(false);
            return;
        }
        if (!view && !(view = showView()))
            QCoreApplication::exit(1);
    });
    std::puts("ready");
    std::fflush(stdout);
    return app.exec();
}
