#pragma once

#include <QColor>
#include <QList>
#include <QPointF>
#include <QQuickItem>
#include <QtQmlIntegration>

namespace vesko {

// A line through `points`, given in [0,1]×[0,1] with y upwards, stretched over
// the item; the stroke stays inside it. Drawn as scene-graph geometry: a
// triangle strip around the line (line widths above one pixel are not
// portable across the graphics APIs), or, on the software renderer, which
// draws no custom geometry, as an image painted whenever the line changes.
class Sparkline : public QQuickItem
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QList<QPointF> points READ points WRITE setPoints NOTIFY pointsChanged)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)
    Q_PROPERTY(qreal lineWidth READ lineWidth WRITE setLineWidth NOTIFY lineWidthChanged)

public:
    explicit Sparkline(QQuickItem *parent = nullptr);

    const QList<QPointF> &points() const { return m_points; }
    void setPoints(const QList<QPointF> &points);
    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    qreal lineWidth() const { return m_lineWidth; }
    void setLineWidth(qreal width);

    // The line's vertices in an item of `size`: `points` scaled into it, inset
    // by half the stroke, and thinned to what its pixel columns can show (the
    // lowest and highest point of each), so that a month of readings costs
    // what the item's width does.
    static QList<QPointF> outline(const QList<QPointF> &points, QSizeF size, qreal lineWidth);
    // The triangle strip `lineWidth` wide around `line`: two vertices a point.
    static QList<QPointF> strip(const QList<QPointF> &line, qreal lineWidth);

signals:
    void pointsChanged();
    void colorChanged();
    void lineWidthChanged();

protected:
    QSGNode *updatePaintNode(QSGNode *old, UpdatePaintNodeData *) override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;

private:
    QList<QPointF> m_points;
    QColor m_color = Qt::white;
    qreal m_lineWidth = 2;
};

} // namespace vesko
