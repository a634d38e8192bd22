// A second process for tst_singleinstance, started the way the browser or the
// user would start Vesko again.
//
//   singleinstance_peer primary NAME          listen, or print "taken" and exit 2
//   singleinstance_peer launch NAME ARGS...   wait for a line on stdin, then listen
//                                             or forward, like the app's main()
//   singleinstance_peer forward NAME ARGS...  exit 0 when delivered, else 1
//
// A primary prints "primary", then one JSON array per message it receives, and
// quits cleanly when its stdin closes.
#include "SingleInstance.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

namespace {

void say(const QByteArray &line)
{
    std::fputs((line + '\n').constData(), stdout);
    std::fflush(stdout);
}

// Lets the test start several peers and release them at the same instant.
void waitForGo()
{
    char c = 0;
    while (::read(STDIN_FILENO, &c, 1) == 1 && c != '\n') {
    }
}

int serve(vesko::SingleInstance &instance)
{
    say("primary");
    QObject::connect(&instance, &vesko::SingleInstance::received, [](const QStringList &arguments) {
        say(QJsonDocument(QJsonArray::fromStringList(arguments)).toJson(QJsonDocument::Compact));
    });
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&input] {
        char buffer[64];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            input.setEnabled(false);
            QCoreApplication::quit();
        }
    });
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char **argv)
{
    QStringList words;
    for (int i = 1; i < argc; ++i)
        words << QString::fromLocal8Bit(argv[i]);
    if (words.size() < 2)
        return 64;
    const QString mode = words[0];
    const QString name = words[1];
    const QStringList arguments = words.mid(2);

    // Before the application object exists, as the app's own hand-over does.
    if (mode == u"forward")
        return vesko::SingleInstance::forward(name, arguments) ? 0 : 1;
    QCoreApplication app(argc, argv);
    if (mode == u"launch")
        waitForGo();
    vesko::SingleInstance instance(name);
    if (instance.listen())
        return serve(instance);
    if (mode == u"primary") {
        say("taken");
        return 2;
    }
    const bool delivered = vesko::SingleInstance::forward(name, arguments);
    say(delivered ? "forwarded" : "failed");
    return delivered ? 0 : 1;
}
