#pragma once

#include <QByteArray>
#include <QDBusArgument>
#include <QImage>
#include <QList>
#include <QMetaType>
#include <QString>

namespace vesko {

// (iiay): one icon size, ARGB32 pixels in network byte order.
struct SniPixmap
{
    int width = 0;
    int height = 0;
    QByteArray argb;

    bool operator==(const SniPixmap &) const = default;
};

// (sa(iiay)ss): icon name, icon pixmaps, title, description.
struct SniToolTip
{
    QString iconName;
    QList<SniPixmap> pixmaps;
    QString title;
    QString description;
};

using SniPixmapList = QList<SniPixmap>;

// `image` as the protocol wants it (any format in, straight alpha out).
SniPixmap sniPixmap(const QImage &image);
// And back, for readers of the item (tests, screenshots).
QImage imageOf(const SniPixmap &pixmap);

void registerStatusNotifierTypes();

QDBusArgument &operator<<(QDBusArgument &argument, const SniPixmap &pixmap);
const QDBusArgument &operator>>(const QDBusArgument &argument, SniPixmap &pixmap);
QDBusArgument &operator<<(QDBusArgument &argument, const SniToolTip &toolTip);
const QDBusArgument &operator>>(const QDBusArgument &argument, SniToolTip &toolTip);

} // namespace vesko

Q_DECLARE_METATYPE(vesko::SniPixmap)
Q_DECLARE_METATYPE(vesko::SniToolTip)
