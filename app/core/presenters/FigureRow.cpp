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
    const auto count = [](qint64 n) { return QString::number(n); };
    // The ARR is the MRR's twelvefold: the compact form keeps the row narrow.
    return {.figures = {
                {.value = Money::compact(summary.arr(), summary.currency()), .label = u"ARR"_s},
                {.value = count(summary.active()), .label = u"active"_s},
                {.value = count(summary.new_()), .label = u"new"_s},
                {.value = count(summary.cancelled()), .label = u"cancelled"_s},
            }};
}

} // namespace vesko
