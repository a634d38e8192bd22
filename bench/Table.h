#pragma once

#include <QString>

#include <optional>

// The rows the benchmark programs print for scripts/bench to gather into one
// table: tab-separated on standard output, each marked "row", so that the
// programs' other output (on standard error) never mixes in.
namespace vesko::bench {

using namespace Qt::StringLiterals;

struct Row
{
    QString figure;
    QString measured;
    QString floor = u"-"_s;
    QString ratio = u"-"_s;
    QString goal = u"-"_s;
    QString verdict = u"info"_s;
};

void print(const Row &row);

// A figure measured against its floor, both in `unit` (shown with `decimals`),
// and the goal `ratio <= goal` when there is one.
Row compared(const QString &figure, double measured, double floor, const QString &unit, int decimals,
             std::optional<double> goal);

// A figure with a goal on its own value (no floor): met when `measured <= goal`.
Row bounded(const QString &figure, double measured, const QString &unit, int decimals, double goal,
            const QString &floor = u"-"_s);

// A figure that could not be measured: the row says so and counts as missed.
Row failed(const QString &figure, const QString &why);

QString number(double value, int decimals);

} // namespace vesko::bench
