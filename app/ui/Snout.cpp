#include "app/ui/Snout.h"

#include <QPainter>
#include <QPixmap>

#include <cmath>

using namespace Qt::StringLiterals;

namespace vesko {

QPainterPath snoutPath(const QRectF &rect)
{
    const qreal height = rect.height();
    const qreal u = rect.width() / 120;
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    path.addRoundedRect(rect, height / 2, height / 2);
    // The grid counts y upwards from the bottom edge: a nostril there spans
    // 27u to 57u, so its top edge lies 57u above the bottom. At 20:14 that is
    // 27u below the top as well, the nostrils centred on the middle line.
    const qreal nostrilTop = rect.bottom() - 57 * u;
    path.addEllipse(QRectF(rect.left() + 34 * u, nostrilTop, 18 * u, 30 * u));
    path.addEllipse(QRectF(rect.left() + 68 * u, nostrilTop, 18 * u, 30 * u));
    return path;
}

QImage snoutImage(QSize logicalSize, qreal devicePixelRatio)
{
    // Far beyond any icon or view; keeps the rounding within int.
    constexpr qreal maxSide = 16384;
    const qreal width = std::round(logicalSize.width() * devicePixelRatio);
    const qreal height = std::round(logicalSize.height() * devicePixelRatio);
    if (logicalSize.isEmpty() || !(width >= 1 && height >= 1 && width <= maxSide && height <= maxSide))
        return {};
    QImage image(int(width), int(height), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(snoutPath(QRectF(QPointF(0, 0), QSizeF(logicalSize))), Qt::black);
    return image;
}

QImage tinted(const QImage &image, const QColor &color)
{
    if (image.isNull())
        return {};
    QImage result = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&result);
    // Keeps each pixel's coverage and replaces its colour.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRectF(QPointF(0, 0), result.deviceIndependentSize()), color);
    return result;
}

QIcon snoutIcon(const QColor &color)
{
    QIcon icon;
    for (const int height : snoutTrayHeights) {
        const QSize size(static_cast<int>(std::lround(height * qreal(snoutSize.width()) / snoutSize.height())), height);
        icon.addPixmap(QPixmap::fromImage(tinted(snoutImage(size), color)));
    }
    return icon;
}

QByteArray snoutSvg()
{
    static const QByteArray svg = [] {
        const QPainterPath path = snoutPath(QRectF(0, 0, 120, 84));
        const auto number = [](qreal v) { return QString::number(v, 'g', 6); };
        QString data;
        for (int i = 0; i < path.elementCount(); ++i) {
            const QPainterPath::Element element = path.elementAt(i);
            switch (element.type) {
            case QPainterPath::MoveToElement:
                data += (i == 0 ? u"M" : u"ZM");
                break;
            case QPainterPath::LineToElement:
                data += u'L';
                break;
            case QPainterPath::CurveToElement:
                data += u'C';
                break;
            case QPainterPath::CurveToDataElement:
                data += u' ';
                break;
            }
            data += number(element.x) + u' ' + number(element.y);
        }
        data += u'Z';
        // One colour, named twice over so each desktop can recolour it: GTK
        // paints "-symbolic" icons in the panel's text colour whatever fill
        // they carry, and Plasma rewrites the "current-color-scheme" style
        // (its ColorScheme-Text convention) that currentColor refers to.
        return uR"(<svg xmlns="http://www.w3.org/2000/svg" width="120" height="84" viewBox="0 0 120 84">)"
               uR"(<style id="current-color-scheme" type="text/css">.ColorScheme-Text { color:#232629; }</style>)"
               uR"(<path class="ColorScheme-Text" fill="currentColor" fill-rule="evenodd" d="%1"/></svg>)"
               u"\n"_s.arg(data)
                   .toUtf8();
    }();
    return svg;
}

} // namespace vesko
