// vesko-icon FILE: writes the application icon, the snout mark the application
// draws, on a square canvas. The build makes the installed icon with it, so the
// two cannot drift apart.
#include "app/ui/Snout.h"
#include "tools/SquareSvg.h"

#include <QSaveFile>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: vesko-icon FILE\n");
        return 2;
    }
    QString error;
    const QByteArray icon = vesko::squaredSvg(vesko::snoutSvg(), &error);
    if (icon.isEmpty()) {
        std::fprintf(stderr, "vesko-icon: the snout mark: %s\n", qPrintable(error));
        return 1;
    }
    QSaveFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::WriteOnly) || file.write(icon) != icon.size() || !file.commit()) {
        std::fprintf(stderr, "vesko-icon: %s: %s\n", argv[1], qPrintable(file.errorString()));
        return 1;
    }
    return 0;
}
