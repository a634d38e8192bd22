#include "HeroText.h"

#include "Money.h"
#include "Summary.h"

namespace vesko {

HeroText heroText(const Summary &summary, bool countEnding)
{
    const QString &currency = summary.currency();
    HeroText text;
    text.caption = QStringLiteral("MONTHLY RECURRING REVENUE");
    text.figure = Money::whole(summary.mrr(), currency);
    if (const std::optional<double> growth = summary.growth())
        text.growth = Money::growth(*growth);
    if (summary.mrr() >= 1) {
        text.exactLine = Money::price(summary.mrr(), currency) + QStringLiteral(" exactly.");
        if (summary.ending() > 0) {
            text.exactLine +=
                u' ' + Money::price(summary.ending(), currency)
                + (countEnding
                       ? QStringLiteral(" of this stops when those subscriptions reach the end of their period.")
                       : QStringLiteral(" is left out: those subscriptions are set to end."));
        }
    }
    if (summary.incomplete())
        text.exchangeNote = QStringLiteral("Some amounts are waiting for today's exchange rate.");
    return text;
}

} // namespace vesko
