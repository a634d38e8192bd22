// A second Vesko for tst_singleinstance: `singleinstance_peer NAME ARGS...`
// goes as the app's main() does. It prints "forwarded" or "failed" and exits 0
// or 1, or becomes the primary, prints "primary" and serves until killed.
#include "app/linux/SingleInstance.h"

#include <QCoreApplication>

#include <cstdio>

using vesko::SingleInstance;

static int say(const char *line, int status)
{
    std::puts(line);
    std::fflush(stdout);
    return status;
}

int main(int argc, char **argv)
{
    const QString name = QString::fromLocal8Bit(argv[1]);
    QStringList arguments;
    for (int i = 2; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Before the application object exists, as the app's own hand-over does.
    if (SingleInstance::forward(name, arguments))
        return say("forwarded", 0);
    QCoreApplication app(argc, argv);
    SingleInstance instance(name);
    if (!instance.listen())
        return SingleInstance::forward(name, arguments) ? say("forwarded", 0) : say("failed", 1);
    say("primary", 0);
    return app.exec();
}
