// vesko-genmon-icon FILE: writes the snout as Xfce's Generic Monitor shows an
// image file, at its natural size: 22 pixels wide to sit in a panel, grey so
// that it reads on light and dark panels. The build carries it inside
// vesko-status, which links no GUI library to draw it with.
#include "app/ui/Snout.h"

#include <QBuffer>
#include <QSaveFile>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: vesko-genmon-icon FILE\n");
        return 2;
    }
    constexpr int width = 22;
    const QSize size(width, width * vesko::snoutSize.height() / vesko::snoutSize.width());
    const QImage image = vesko::tinted(vesko::snoutImage(size), QColor(0x88, 0x88, 0x88));
    QByteArray png;
    QBuffer buffer(&png);
    if (image.isNull() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        std::fprintf(stderr, "vesko-genmon-icon: cannot draw the snout\n");
        return 1;
    }
    QSaveFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::WriteOnly) || file.write(png) != png.size() || !file.commit()) {
        std::fprintf(stderr, "vesko-genmon-icon: %s: %s\n", argv[1], qPrintable(file.errorString()));
        return 1;
    }
    return 0;
}
