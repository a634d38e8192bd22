// The floor for vesko's memory once the panel was shown: a QQuickView with
// one rectangle the panel's width, on whatever renderer the environment
// picks. Prints "rendered" after its first frame, then idles until killed.
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickView>

#include <cstdio>
#include <utility>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QQuickView view;
    QQmlComponent component(view.engine());
    component.setData("import QtQuick\nRectangle { width: 360; height: 540; color: \"#f4efe6\" }\n", QUrl());
    QObject *root = component.create();
    if (!root) {
        std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
        return 1;
    }
    view.setContent(QUrl(), &component, root);
    QObject::connect(&view, &QQuickWindow::frameSwapped, &app, [] {
        static bool once = false;
        if (std::exchange(once, true))
            return;
        std::puts("rendered");
        std::fflush(stdout);
    });
    view.show();
    return app.exec();
}
