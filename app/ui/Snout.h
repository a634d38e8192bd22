#pragma once

#include <QByteArray>
#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPainterPath>
#include <QSize>

namespace vesko {

// The snout mark's own size; it is drawn at this 20:14 ratio everywhere.
inline constexpr QSize snoutSize(20, 14);
// Tray icon heights hosts commonly ask for; the widths keep 20:14.
inline constexpr int snoutTrayHeights[] = {16, 22, 24, 32};

// The mark filling `rect` in Qt's y-down coordinates: a capsule with two oval
// nostrils cut out (odd-even fill). The nostrils are placed on a grid of
// rect.width() / 120, so the mark keeps its proportions only at 20:14.
QPainterPath snoutPath(const QRectF &rect);

// The mark as a template: opaque black coverage on transparency, drawn at
// `logicalSize` × `devicePixelRatio` pixels (ARGB32 premultiplied, the ratio
// set on the image). Null for an empty size, or a ratio that leaves less than
// a pixel or an absurdly large image.
QImage snoutImage(QSize logicalSize = snoutSize, qreal devicePixelRatio = 1.0);

// `image`'s coverage in `color`, for a view that colours the template.
QImage tinted(const QImage &image, const QColor &color);

// The mark in `color` at every tray height.
QIcon snoutIcon(const QColor &color);

// The mark as an SVG document (120 × 84, black, the same path), for the
// installed icon.
QByteArray snoutSvg();

} // namespace vesko
