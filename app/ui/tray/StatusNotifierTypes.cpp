#include "app/ui/tray/StatusNotifierTypes.h"

#include <QDBusMetaType>
#include <QtEndian>

namespace vesko {

SniPixmap sniPixmap(const QImage &image)
{
    const QImage straight = image.convertToFormat(QImage::Format_ARGB32);
    SniPixmap pixmap{straight.width(), straight.height(), {}};
    pixmap.argb.resize(qsizetype(straight.width()) * straight.height() * 4);
    auto *out = reinterpret_cast<quint32 *>(pixmap.argb.data());
    for (int y = 0; y < straight.height(); ++y) {
        const auto *line = reinterpret_cast<const quint32 *>(straight.constScanLine(y));
        for (int x = 0; x < straight.width(); ++x)
            *out++ = qToBigEndian(line[x]);
    }
    return pixmap;
}

QImage imageOf(const SniPixmap &pixmap)
{
    if (pixmap.width <= 0 || pixmap.height <= 0 || pixmap.argb.size() != qsizetype(pixmap.width) * pixmap.height * 4)
        return {};
    QImage image(pixmap.width, pixmap.height, QImage::Format_ARGB32);
    const auto *in = reinterpret_cast<const quint32 *>(pixmap.argb.constData());
    for (int y = 0; y < pixmap.height; ++y) {
        auto *line = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < pixmap.width; ++x)
            line[x] = qFromBigEndian(*in++);
    }
    return image;
}

void registerStatusNotifierTypes()
{
    qDBusRegisterMetaType<SniPixmap>();
    qDBusRegisterMetaType<SniPixmapList>();
    qDBusRegisterMetaType<SniToolTip>();
}

QDBusArgument &operator<<(QDBusArgument &argument, const SniPixmap &pixmap)
{
    argument.beginStructure();
    argument << pixmap.width << pixmap.height << pixmap.argb;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, SniPixmap &pixmap)
{
    argument.beginStructure();
    argument >> pixmap.width >> pixmap.height >> pixmap.argb;
    argument.endStructure();
    return argument;
}

QDBusArgument &operator<<(QDBusArgument &argument, const SniToolTip &toolTip)
{
    argument.beginStructure();
    argument << toolTip.iconName << toolTip.pixmaps << toolTip.title << toolTip.description;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, SniToolTip &toolTip)
{
    argument.beginStructure();
    argument >> toolTip.iconName >> toolTip.pixmaps >> toolTip.title >> toolTip.description;
    argument.endStructure();
    return argument;
}

} // namespace vesko
