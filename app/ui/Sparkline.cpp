#include "app/ui/Sparkline.h"

#include <QPainter>
#include <QQuickWindow>
#include <QSGFlatColorMaterial>
#include <QSGGeometryNode>
#include <QSGImageNode>
#include <QSGRendererInterface>
#include <QSGTexture>

#include <algorithm>
#include <cmath>
#include <memory>

namespace vesko {

namespace {

// The software renderer's line, which draws no custom geometry: painted once
// into an image whenever it changes, and drawn as that image every frame.
class PaintedLine : public QSGNode
{
public:
    explicit PaintedLine(QQuickWindow *window)
        : m_image(window->createImageNode())
    {
        appendChildNode(m_image);
    }

    void paint(QQuickWindow *window, const QList<QPointF> &line, const QColor &color, qreal width, QSizeF size)
    {
        const qreal ratio = window->effectiveDevicePixelRatio();
        QImage image((size * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::BevelJoin));
        painter.drawPolyline(line.constData(), int(line.size()));
        painter.end();
        // The new texture in place before the old one goes.
        std::unique_ptr<QSGTexture> texture(window->createTextureFromImage(image));
        m_image->setTexture(texture.get());
        m_image->setRect(QRectF(QPointF(), size));
        m_image->setFiltering(QSGTexture::Linear);
        m_texture = std::move(texture);
    }

private:
    QSGImageNode *m_image; // a child, deleted with this node, after the texture
    std::unique_ptr<QSGTexture> m_texture;
};

QSGGeometryNode *stripNode(QSGGeometryNode *node, const QList<QPointF> &strip, const QColor &color)
{
    if (!node) {
        node = new QSGGeometryNode;
        auto *geometry = new QSGGeometry(QSGGeometry::defaultAttributes_Point2D(), 0);
        geometry->setDrawingMode(QSGGeometry::DrawTriangleStrip);
        node->setGeometry(geometry);
        node->setFlag(QSGNode::OwnsGeometry);
        node->setMaterial(new QSGFlatColorMaterial);
        node->setFlag(QSGNode::OwnsMaterial);
    }
    QSGGeometry *geometry = node->geometry();
    geometry->allocate(int(strip.size()));
    QSGGeometry::Point2D *vertex = geometry->vertexDataAsPoint2D();
    for (const QPointF &point : strip)
        (vertex++)->set(float(point.x()), float(point.y()));
    auto *material = static_cast<QSGFlatColorMaterial *>(node->material());
    if (material->color() != color) {
        material->setColor(color);
        node->markDirty(QSGNode::DirtyMaterial);
    }
    node->markDirty(QSGNode::DirtyGeometry);
    return node;
}

} // namespace

Sparkline::Sparkline(QQuickItem *parent)
    : QQuickItem(parent)
{
    setFlag(ItemHasContents);
}

void Sparkline::setPoints(const QList<QPointF> &points)
{
    if (points == m_points)
        return;
    m_points = points;
    emit pointsChanged();
    update();
}

void Sparkline::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    emit colorChanged();
    update();
}

void Sparkline::setLineWidth(qreal width)
{
    if (qFuzzyCompare(width, m_lineWidth))
        return;
    m_lineWidth = width;
    emit lineWidthChanged();
    update();
}

void Sparkline::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size())
        update();
}

QList<QPointF> Sparkline::outline(const QList<QPointF> &points, QSizeF size, qreal lineWidth)
{
    const qreal inset = lineWidth / 2;
    const qreal width = std::max<qreal>(0, size.width() - lineWidth);
    const qreal height = std::max<qreal>(0, size.height() - lineWidth);
    const auto place = [&](QPointF p) {
        return QPointF(inset + std::clamp<qreal>(p.x(), 0, 1) * width,
                       inset + (1 - std::clamp<qreal>(p.y(), 0, 1)) * height);
    };
    QList<QPointF> line;
    line.reserve(std::min<qsizetype>(points.size(), 2 * qsizetype(std::ceil(width) + 1)));
    // Points sharing a pixel column: its lowest and highest, in the order they
    // came, cover what all of them would draw there.
    const auto columnOf = [&](const QPointF &p) { return std::floor(inset + std::clamp<qreal>(p.x(), 0, 1) * width); };
    const QPointF *data = points.constData();
    const qsizetype count = points.size();
    qsizetype i = 0;
    while (i < count) {
        const qreal column = columnOf(data[i]);
        qsizetype end = i + 1;
        qsizetype low = i, high = i;
        for (; end < count && columnOf(data[end]) == column; ++end) {
            if (data[end].y() < data[low].y())
                low = end;
            else if (data[end].y() > data[high].y())
                high = end;
        }
        line.append(place(data[std::min(low, high)]));
        if (low != high)
            line.append(place(data[std::max(low, high)]));
        i = end;
    }
    return line;
}

QList<QPointF> Sparkline::strip(const QList<QPointF> &line, qreal lineWidth)
{
    QList<QPointF> vertices;
    if (line.size() < 2)
        return vertices;
    const qreal half = lineWidth / 2;
    const auto normal = [](QPointF from, QPointF to) {
        const QPointF d = to - from;
        const qreal length = std::hypot(d.x(), d.y());
        return length > 0 ? QPointF(-d.y() / length, d.x() / length) : QPointF();
    };
    vertices.reserve(2 * line.size());
    QPointF previous = normal(line.at(0), line.at(1));
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QPointF next = i + 1 < line.size() ? normal(line.at(i), line.at(i + 1)) : previous;
        // The miter: along the two normals' mean, long enough that both
        // segments keep their width, but never more than twice it at a spike.
        QPointF miter = previous + next;
        const qreal length = std::hypot(miter.x(), miter.y());
        miter = length > 1e-9 ? miter / length : next;
        const qreal cosine = QPointF::dotProduct(miter, next);
        const qreal extent = half / std::max<qreal>(cosine, 0.5);
        vertices.append(line.at(i) + miter * extent);
        vertices.append(line.at(i) - miter * extent);
        if (!next.isNull())
            previous = next;
    }
    return vertices;
}

QSGNode *Sparkline::updatePaintNode(QSGNode *old, UpdatePaintNodeData *)
{
    const QList<QPointF> line = outline(m_points, size(), m_lineWidth);
    if (line.size() < 2 || width() <= 0 || height() <= 0 || !m_color.isValid()) {
        delete old;
        return nullptr;
    }
    if (window()->rendererInterface()->graphicsApi() == QSGRendererInterface::Software) {
        auto *node = old ? static_cast<PaintedLine *>(old) : new PaintedLine(window());
        node->paint(window(), line, m_color, m_lineWidth, size());
        return node;
    }
    return stripNode(static_cast<QSGGeometryNode *>(old), strip(line, m_lineWidth), m_color);
}

} // namespace vesko
