#pragma once

#include <QString>

// Money text. Amounts are minor units — always hundredths of the major unit,
// whatever the currency — and are written in fixed en_US conventions with the
// CLDR symbol of the currency ("$", "€", "£"); a code without a symbol is
// written as the code and a no-break space ("CHF 12"). The arithmetic is
// exact decimal: no amount ever passes through floating point.
// Safe to call from any thread.
namespace vesko::Money {

// Whole major units, ties away from zero: 123456 -> "$1,235", -150 -> "-$2".
QString whole(qint64 amount, const QString &currency);

// Cents only when there are any: 1999 -> "$19.99", 2000 -> "$20".
QString price(qint64 amount, const QString &currency);

// Short text with a K or M suffix and at most one decimal: 123456 -> "$1.2K".
// The suffix is chosen before rounding and never promoted: 99999999 -> "$1,000K".
// The full int64 range is handled, the smallest value included.
QString compact(qint64 amount, const QString &currency);

// The privacy switch: while a Mask that is on lives on this thread, the three
// functions above write every amount as its currency sign and three bullets
// ("$•••", "CHF •••"), so no text built meanwhile can show one. Masks nest.
class Mask
{
public:
    explicit Mask(bool on = true);
    ~Mask();
    Mask(const Mask &) = delete;
    Mask &operator=(const Mask &) = delete;

private:
    bool m_previous;
};

// Whether a Mask that is on is in force on this thread: what reads an amount
// aloud says "hidden" then, not its bullets.
bool masking();

// `written`, an amount from the functions above, as a listener hears it:
// "hidden" while masking, the text itself otherwise.
QString spokenAmount(const QString &written);

// "$•••": what a masked amount in `currency` reads.
QString masked(const QString &currency);

// Signed whole percent, ties away from zero: 12.5 -> "+13%", -3.5 -> "-4%".
// NaN reads "0%"; infinities and values beyond int64 are clamped to its range.
QString growth(double percent);

// growth() for a listener, rounded the same: "up 12%", "down 4%", "unchanged".
QString spokenGrowth(double percent);

} // namespace vesko::Money
