#include "app/core/presenters/FigureRow.h"

#include "kit/Money.h"
#include "kit/Summary.h"

using namespace Qt::StringLiterals;

namespace vesko {

FigureRow figureRow(const Summary &summary)
{
    if (!summary.hasSources()) {
        return {.hasSources = false,
                .noSourceTitle = u"No revenue source yet"_s,
                .noSourceNote = u"Connect your store or payment provider on the dashboard, and your numbers "
                                u"show up here."_s,
                .noSourceAction = u"Connect a source"_s};
    }
    const auto count = [](qint64 n, const QString &label) {
        const QString value = QString::number(n);
        return Figure{.value = value, .label = label, .spoken = label + u", "_s + value};
    };
    // The ARR is the MRR's twelvefold: the compact form keeps the row narrow.
    const QString arr = Money::compact(summary.arr(), summary.currency());
    return {.figures = {
                {.value = arr, .label = u"ARR"_s, .spoken = u"ARR, "_s + Money::spokenAmount(arr)},
                count(summary.active(), u"active"_s),
                count(summary.new_(), u"new"_s),
                count(summary.cancelled(), u"cancelled"_s),
            }};
}

} // namespace vesko
