#include "kit/Money.h"

#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <unicode/locid.h>
#include <unicode/numberformatter.h>

using namespace Qt::StringLiterals;

namespace vesko::Money {

namespace {

using icu::number::LocalizedNumberFormatter;
using icu::number::NumberFormatter;
using icu::number::Precision;

constexpr char16_t noBreakSpace = u'\u00A0';

quint64 magnitude(qint64 amount)
{
    // Unsigned negation: defined for the smallest int64 as well.
    return amount < 0 ? 0 - static_cast<quint64>(amount) : static_cast<quint64>(amount);
}

// amount / 10^scale as exact decimal text: (-150, 2) -> "-1.50".
std::string decimalText(qint64 amount, size_t scale)
{
    std::string digits = std::to_string(magnitude(amount));
    if (digits.size() <= scale)
        digits.insert(0, scale + 1 - digits.size(), '0');
    digits.insert(digits.size() - scale, 1, '.');
    if (amount < 0)
        digits.insert(0, 1, '-');
    return digits;
}

// The formatters differ only in precision; each is built once, on first use
// (thread-safe static initialisation), and only read afterwards.
const LocalizedNumberFormatter &formatter(int minFraction, int maxFraction)
{
    static const auto base = NumberFormatter::withLocale(icu::Locale("en_US")).roundingMode(UNUM_ROUND_HALFUP);
    static const LocalizedNumberFormatter wholeUnits = base.precision(Precision::fixedFraction(0));
    static const LocalizedNumberFormatter cents = base.precision(Precision::fixedFraction(2));
    static const LocalizedNumberFormatter upToOneDecimal = base.precision(Precision::minMaxFraction(0, 1));
    if (maxFraction == 2)
        return cents;
    return minFraction == 0 && maxFraction == 1 ? upToOneDecimal : wholeUnits;
}

// ICU reads the first three characters of any code it is given ("EURO" would
// print "€"), so only three ASCII letters reach it.
bool isCurrencyCode(const QString &code)
{
    if (code.size() != 3)
        return false;
    for (QChar c : code) {
        if (!((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z')))
            return false;
    }
    return true;
}

QString toQString(const icu::UnicodeString &text)
{
    return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
}

// A formatter per precision and currency, kept: building one costs far more
// than formatting with it, and ICU compiles one that is used repeatedly.
// Null when ICU does not take the code.
const LocalizedNumberFormatter *currencyFormatter(int minFraction, int maxFraction, const QString &currency)
{
    thread_local std::map<std::pair<int, QString>, LocalizedNumberFormatter> kept;
    const std::pair<int, QString> key(minFraction * 16 + maxFraction, currency);
    if (const auto found = kept.find(key); found != kept.end())
        return &found->second;
    UErrorCode status = U_ZERO_ERROR;
    const icu::CurrencyUnit unit(reinterpret_cast<const char16_t *>(currency.utf16()), status);
    if (U_FAILURE(status))
        return nullptr;
    // A service naming ever new currencies must not grow this without end.
    if (kept.size() >= 64)
        kept.clear();
    return &kept.emplace(key, formatter(minFraction, maxFraction).unit(unit)).first->second;
}

QString format(const std::string &decimal, const QString &currency, int minFraction, int maxFraction)
{
    const LocalizedNumberFormatter &numbers = formatter(minFraction, maxFraction);
    UErrorCode status = U_ZERO_ERROR;
    if (isCurrencyCode(currency)) {
        if (const LocalizedNumberFormatter *withUnit = currencyFormatter(minFraction, maxFraction, currency)) {
            const icu::UnicodeString text = withUnit->formatDecimal(decimal, status).toString(status);
            if (U_SUCCESS(status))
                return toQString(text);
            status = U_ZERO_ERROR;
        }
    }
    // No usable code: written like CLDR writes a code without a symbol.
    const bool negative = decimal.front() == '-';
    const std::string unsignedDecimal = negative ? decimal.substr(1) : decimal;
    const icu::UnicodeString number = numbers.formatDecimal(unsignedDecimal, status).toString(status);
    QString text = negative ? u"-"_s : QString();
    if (!currency.isEmpty())
        text += currency + noBreakSpace;
    return text + toQString(number);
}

thread_local bool maskOn = false;

// Whole percent, halves away from zero; NaN is 0, the rest clamped to int64.
qint64 wholePercent(double percent)
{
    if (std::isnan(percent))
        return 0;
    const double rounded = std::round(percent);
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    constexpr double limit = 9223372036854775808.0;
    return rounded >= limit   ? std::numeric_limits<qint64>::max()
           : rounded < -limit ? std::numeric_limits<qint64>::min()
                              : static_cast<qint64>(rounded);
}

} // namespace

Mask::Mask(bool on)
    : m_previous(maskOn)
{
    maskOn = maskOn || on;
}

Mask::~Mask()
{
    maskOn = m_previous;
}

bool masking()
{
    return maskOn;
}

QString spokenAmount(const QString &written)
{
    return maskOn ? u"hidden"_s : written;
}

QString masked(const QString &currency)
{
    return format("0", currency, 0, 0).replace(u'0', u"\u2022\u2022\u2022"_s);
}

QString whole(qint64 amount, const QString &currency)
{
    if (maskOn)
        return masked(currency);
    return format(decimalText(amount, 2), currency, 0, 0);
}

QString price(qint64 amount, const QString &currency)
{
    if (maskOn)
        return masked(currency);
    const int fraction = amount % 100 == 0 ? 0 : 2;
    return format(decimalText(amount, 2), currency, fraction, fraction);
}

QString compact(qint64 amount, const QString &currency)
{
    if (maskOn)
        return masked(currency);
    const quint64 a = magnitude(amount);
    // Minor units / 100 / divisor: shift the decimal point 2 + 6 or 2 + 3 places.
    if (a >= 100'000'000)
        return format(decimalText(amount, 8), currency, 0, 1) + u'M';
    if (a >= 100'000)
        return format(decimalText(amount, 5), currency, 0, 1) + u'K';
    return whole(amount, currency);
}

QString growth(double percent)
{
    const qint64 n = wholePercent(percent);
    return (n > 0 ? u"+"_s : QString()) + QString::number(n) + u'%';
}

QString spokenGrowth(double percent)
{
    const qint64 n = wholePercent(percent);
    if (n == 0)
        return u"unchanged"_s;
    // The magnitude as unsigned: the smallest int64 has no positive twin.
    return (n > 0 ? u"up "_s : u"down "_s) + QString::number(magnitude(n)) + u'%';
}

} // namespace vesko::Money
