#include "bench/Table.h"

#include <QLocale>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace vesko::bench {

namespace {

QString verdictFor(bool met)
{
    return met ? u"met"_s : u"MISSED"_s;
}

QString clean(QString text)
{
    return text.replace(u'\t', u' ').replace(u'\n', u' ');
}

} // namespace

QString number(double value, int decimals)
{
    return QLocale::c().toString(value, 'f', decimals);
}

void print(const Row &row)
{
    const QString line = QStringList{u"row"_s,         clean(row.figure), clean(row.measured), clean(row.floor),
                                     clean(row.ratio), clean(row.goal),   clean(row.verdict)}
                             .join(u'\t');
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

Row compared(const QString &figure, double measured, double floor, const QString &unit, int decimals,
             std::optional<double> goal)
{
    const QString suffix = unit.isEmpty() ? QString() : u' ' + unit;
    Row row{
        .figure = figure, .measured = number(measured, decimals) + suffix, .floor = number(floor, decimals) + suffix};
    if (floor <= 0)
        return row; // nothing to divide by; the row shows both values as they are
    const double ratio = measured / floor;
    row.ratio = number(ratio, 2) + u'x';
    if (goal) {
        row.goal = u"<= "_s + number(*goal, 2) + u'x';
        row.verdict = verdictFor(ratio <= *goal);
    }
    return row;
}

Row bounded(const QString &figure, double measured, const QString &unit, int decimals, double goal,
            const QString &floor)
{
    const QString suffix = unit.isEmpty() ? QString() : u' ' + unit;
    return Row{.figure = figure,
               .measured = number(measured, decimals) + suffix,
               .floor = floor,
               .goal = u"<= "_s + number(goal, decimals) + suffix,
               .verdict = verdictFor(measured <= goal)};
}

Row failed(const QString &figure, const QString &why)
{
    return Row{.figure = figure, .measured = u"not measured: "_s + why, .verdict = u"MISSED"_s};
}

} // namespace vesko::bench
