// Dates from the service. The parser must accept exactly the strict form
// (YYYY-MM-DDTHH:MM:SS then Z or ±HH:MM, every field in range) and give the
// instant Qt's own calendar gives for it; what it accepts, written back, reads
// as the same instant.
#include "fuzz/FuzzCheck.h"
#include "kit/InternetDateTime.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

using namespace vesko;

namespace {

// Qt's calendar has no year 0, so the reference works 400 years later: the
// Gregorian calendar repeats exactly every 400 years.
constexpr int shiftYears = 400;
constexpr qint64 shiftSeconds = 146097LL * 86400;

// The instant by Qt's calendar when every field is in range; nothing otherwise.
std::optional<qint64> referenceInstant(const QRegularExpressionMatch &m)
{
    const auto field = [&m](int group) { return m.captured(group).toInt(); };
    const QDate date(field(1) + shiftYears, field(2), field(3));
    const int hour = field(4), minute = field(5), second = field(6);
    if (!date.isValid() || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    int offset = 0;
    if (m.capturedLength(8) > 0) {
        const int offsetHours = field(9), offsetMinutes = field(10);
        if (offsetHours > 23 || offsetMinutes > 59)
            return std::nullopt;
        offset = (offsetHours * 60 + offsetMinutes) * 60 * (m.captured(8) == u"-" ? -1 : 1);
    }
    const QDateTime local(date, QTime(hour, minute, second), Qt::OffsetFromUTC, offset);
    return local.toSecsSinceEpoch() - shiftSeconds;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // [0-9], not \d: \d also matches other scripts' digits, which are no date.
    static const QRegularExpression strict(QRegularExpression::anchoredPattern(
        uR"(([0-9]{4})-([0-9]{2})-([0-9]{2})T([0-9]{2}):([0-9]{2}):([0-9]{2})(Z|([+-])([0-9]{2}):([0-9]{2})))"_s));

    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<QDateTime> parsed = parseInternetDateTime(text);
    const QRegularExpressionMatch match = strict.match(text);
    const std::optional<qint64> reference = match.hasMatch() ? referenceInstant(match) : std::nullopt;

    FUZZ_CHECK(parsed.has_value() == reference.has_value());
    if (!parsed)
        return 0;

    FUZZ_CHECK(parsed->isValid() && parsed->timeSpec() == Qt::UTC);
    FUZZ_CHECK(parsed->toSecsSinceEpoch() == *reference);
    FUZZ_CHECK(parsed->time().msec() == 0);

    // Written back in UTC (Qt writes years 1 to 9999) it reads as the same
    // instant, and so do its +00:00 and -00:00 spellings.
    const int year = parsed->date().year();
    if (year >= 1 && year <= 9999) {
        const QString utc = parsed->toString(Qt::ISODate);
        FUZZ_CHECK(utc.size() == 20 && utc.endsWith(u'Z'));
        for (const QString &written : {utc, utc.chopped(1) + u"+00:00"_s, utc.chopped(1) + u"-00:00"_s}) {
            const std::optional<QDateTime> again = parseInternetDateTime(written);
            FUZZ_CHECK(again && *again == *parsed);
        }
    }
    return 0;
}
