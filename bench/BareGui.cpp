// The floor for vesko's start and idle memory: a QGuiApplication doing
// nothing. It prints "ready" on the first turn of its event loop; with
// --ready it then quits, otherwise it idles until killed.
#include <QGuiApplication>
#include <QTimer>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const bool once = argc > 1 && std::strcmp(argv[1], "--ready") == 0;
    QTimer::singleShot(0, &app, [once] {
        std::puts("ready");
        std::fflush(stdout);
        if (once)
            QCoreApplication::quit();
    });
    return app.exec();
}
