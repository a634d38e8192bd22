#include "app/ui/Sparkline.h"

#include <QPainter>
#include <QQuickWindow>
#include <QSGFlatColorMaterial>
#include <QSGGeometryNode>
#include <QSGRenderNode>
#include <QSGRendererInterface>

#include <algorithm>
#include <cmath>

namespace vesko {

namespace {

// The software renderer's line: painted by the node when the frame is drawn.
class PaintedLine : public QSGRenderNode
{
public:
    explicit PaintedLine(QQuickWindow *window)
        : m_window(window)
    {}

    void set(QList<QPointF> line, const QColor &color, qreal width, QRectF bounds)
    {
        m_line = std::move(line);
        m_color = color;
        m_width = width;
        m_bounds = bounds;
    }

    void render(const RenderState *state) override
    {
        auto *painter = static_cast<QPainter *>(
            m_window->rendererInterface()->getResource(m_window, QSGRendererInterface::PainterResource));
        if (!painter || m_line.size() < 2)
            return;
        if (const QRegion *clip = state->clipRegion(); clip && !clip->isEmpty())
            painter->setClipRegion(*clip, Qt::ReplaceClip);
        painter->setTransform(matrix()->toTransform());
        painter->setOpacity(inheritedOpacity());
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(m_color, m_width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter->drawPolyline(m_line.constData(), int(m_line.size()));
    }
    StateFlags changedStates() const override { return {}; }
    RenderingFlags flags() const override { return BoundedRectRendering; }
    QRectF rect() const override { return m_bounds; }

private:
    QQuickWindow *m_window;
    QList<QPointF> m_line;
    QColor m_color;
    qreal m_width = 1;
    QRectF m_bounds;
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
    line.reserve(std::min<qsizetype>(points.size(), 4 * qsizetype(std::ceil(width) + 1)));
    // Points sharing a pixel column: its first, lowest, highest and last,
    // in the order they came, draw the same as all of them.
    qsizetype i = 0;
    while (i < points.size()) {
        const QPointF first = place(points.at(i));
        const qreal column = std::floor(first.x());
        qsizetype end = i + 1;
        qsizetype low = i, high = i;
        while (end < points.size() && std::floor(place(points.at(end)).x()) == column) {
            if (points.at(end).y() < points.at(low).y())
                low = end;
            if (points.at(end).y() > points.at(high).y())
                high = end;
            ++end;
        }
        qsizetype kept[] = {i, std::min(low, high), std::max(low, high), end - 1};
        for (qsizetype k = 0; k < 4; ++k) {
            if (k > 0 && kept[k] == kept[k - 1])
                continue;
            line.append(place(points.at(kept[k])));
        }
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
        node->set(line, m_color, m_lineWidth, QRectF(QPointF(), size()));
        node->markDirty(QSGNode::DirtyMaterial);
        return node;
    }
    return stripNode(static_cast<QSGGeometryNode *>(old), strip(line, m_lineWidth), m_color);
}

} // namespace vesko
