// The hero's trend line: what a month of readings (one every five minutes)
// adds to a frame, against the same frame with the line empty, both when the
// line stays (the hero redrawn for something else) and when it changes (once
// a minute at most, with the MRR); and building its vertices, against a line
// of one point per pixel column.
#include "app/ui/Sparkline.h"
#include "bench/Table.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickView>
#include <QSGRendererInterface>

#include <cmath>
#include <cstdio>

using namespace Qt::StringLiterals;
using namespace vesko;

namespace {

constexpr int monthOfReadings = 30 * 24 * 12;
constexpr int frames = 300;

QList<QPointF> series(int count, double phase)
{
    QList<QPointF> points;
    points.reserve(count);
    for (int i = 0; i < count; ++i) {
        const double x = double(i) / (count - 1);
        points.append({x, 0.5 + 0.3 * std::sin(i / 300.0 + phase) + 0.15 * std::sin(i / 7.0)});
    }
    for (QPointF &p : points)
        p.setY(std::clamp(p.y(), 0.0, 1.0));
    return points;
}

// Milliseconds a frame spends synchronising (where the line's node is built)
// and rendering, over `frames` frames; each frame changes the hero's colour.
// The line shows the first of `lines`, and with two or more, the next one
// each frame.
double frameTime(const QList<QList<QPointF>> &lines, QString *api)
{
    QQuickView view;
    QQmlComponent component(view.engine());
    component.setData("import QtQuick\n"
                      "Rectangle { width: 360; height: 260; color: '#FBF7F4'\n"
                      "  Rectangle { objectName: 'hero'; x: 14; y: 14; width: 332; height: 232; radius: 16;"
                      " color: '#2340FF' } }\n",
                      QUrl());
    auto *root = qobject_cast<QQuickItem *>(component.create());
    if (!root) {
        std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
        return -1;
    }
    view.setContent(QUrl(), &component, root);
    auto *hero = root->findChild<QQuickItem *>(u"hero"_s);
    auto *line = new Sparkline(hero);
    line->setPosition({16, 180});
    line->setSize({300, 36});
    line->setColor(Qt::white);
    if (!lines.isEmpty())
        line->setPoints(lines.first());

    QElapsedTimer clock;
    qint64 spent = 0;
    int drawn = 0;
    QObject::connect(
        &view, &QQuickWindow::beforeSynchronizing, &view, [&] { clock.start(); }, Qt::DirectConnection);
    QObject::connect(
        &view, &QQuickWindow::afterRendering, &view, [&] { spent += clock.nsecsElapsed(); }, Qt::DirectConnection);
    QObject::connect(&view, &QQuickWindow::frameSwapped, &view, [&] {
        ++drawn;
        if (drawn > frames)
            return;
        hero->setProperty("color", drawn % 2 ? QColor(0x2341FF) : QColor(0x2340FF));
        if (lines.size() > 1)
            line->setPoints(lines.at(drawn % lines.size()));
    });
    view.show();
    QElapsedTimer limit;
    limit.start();
    // The first frame builds everything; it is not counted.
    while (drawn < 1 && limit.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    spent = 0;
    const int first = drawn;
    while (drawn < first + frames && limit.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    *api = view.rendererInterface()->graphicsApi() == QSGRendererInterface::Software ? u"software"_s : u"hardware"_s;
    const int counted = drawn - first;
    std::fprintf(stderr, "%d frames counted\n", counted);
    return counted > 0 ? double(spent) / counted / 1e6 : -1;
}

// Microseconds to turn `points` into the strip's vertices in a 300 × 36 item.
double buildTime(const QList<QPointF> &points)
{
    constexpr int rounds = 400;
    qsizetype sink = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < rounds; ++i)
        sink += Sparkline::strip(Sparkline::outline(points, {300, 36}, 2), 2).size();
    const double us = double(clock.nsecsElapsed()) / rounds / 1e3;
    std::fprintf(stderr, "vertices: %lld\n", static_cast<long long>(sink / rounds));
    return us;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QList<QList<QPointF>> month{series(monthOfReadings, 0), series(monthOfReadings, 1)};

    QString api;
    const double empty = frameTime({}, &api);
    const double steady = frameTime({month.first()}, &api);
    const double changing = frameTime(month, &api);
    const QString points = u"%1, %2 points"_s.arg(api).arg(monthOfReadings);
    if (empty <= 0 || steady <= 0 || changing <= 0) {
        bench::print(bench::failed(u"hero frame with the trend line"_s, u"no frames drawn"_s));
    } else {
        bench::print(
            bench::compared(u"hero frame, trend line kept (%1)"_s.arg(points), steady, empty, u"ms"_s, 3, 1.5));
        bench::print(bench::compared(u"hero frame, trend line redrawn (%1)"_s.arg(points), changing, empty, u"ms"_s, 3,
                                     std::nullopt));
    }
    bench::print(bench::compared(u"sparkline vertices from %1 points"_s.arg(monthOfReadings), buildTime(month.first()),
                                 buildTime(series(300, 0)), u"us"_s, 1, 4.0));
    return 0;
}
