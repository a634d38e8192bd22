#include "app/core/presenters/HeroText.h"

#include "kit/Money.h"
#include "kit/Summary.h"

using namespace Qt::StringLiterals;

namespace vesko {

HeroText heroText(const Summary &summary, bool countEnding)
{
    const QString &currency = summary.currency();
    HeroText text;
    text.caption = u"MONTHLY RECURRING REVENUE"_s;
    text.figure = Money::whole(summary.mrr(), currency);
    const std::optional<double> growth = summary.growth();
    if (growth)
        text.growth = Money::growth(*growth);
    if (summary.mrr() >= 1) {
        text.exactLine = Money::price(summary.mrr(), currency) + u" exactly."_s;
        if (summary.ending() > 0) {
            text.exactLine +=
                u' ' + Money::price(summary.ending(), currency)
                + (countEnding ? u" of this stops when those subscriptions reach the end of their period."_s
                               : u" is left out: those subscriptions are set to end."_s);
        }
    }
    if (summary.incomplete())
        text.exchangeNote = u"Some amounts are waiting for today's exchange rate."_s;

    // The growth is a percentage, no amount: the pill shows it while hidden, so it is said too.
    text.spoken = u"Monthly recurring revenue, "_s + Money::spokenAmount(text.figure);
    if (growth)
        text.spoken += u", "_s + Money::spokenGrowth(*growth);
    text.spoken += u'.';
    // Masked, the exact line holds only bullets.
    if (!text.exactLine.isEmpty() && !Money::masking())
        text.spoken += u' ' + text.exactLine;
    if (!text.exchangeNote.isEmpty())
        text.spoken += u' ' + text.exchangeNote;
    return text;
}

} // namespace vesko
