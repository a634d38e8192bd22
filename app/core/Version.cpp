#include "app/core/Version.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

// ASCII only: QChar's own tests also accept other scripts' digits and letters.
bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isSeparator(QChar c)
{
    return c == u'.' || c == u'-' || c == u'_';
}

QString withoutLeadingZeros(QStringView digits)
{
    qsizetype first = 0;
    while (first + 1 < digits.size() && digits[first] == u'0')
        ++first;
    return digits.mid(first).toString();
}

// Whole numbers of any length, as digit strings without leading zeros.
std::strong_ordering compareNumbers(const QString &a, const QString &b)
{
    if (a.size() != b.size())
        return a.size() <=> b.size();
    return a.compare(b) <=> 0;
}

// A run of digits, or of letters, starting at `at`.
qsizetype runEnd(QStringView text, qsizetype at)
{
    const bool digits = isDigit(text[at]);
    qsizetype end = at;
    while (end < text.size() && (digits ? isDigit(text[end]) : isLetter(text[end])))
        ++end;
    return end;
}

// Splits a pre-release tag into its runs; false when it is not one.
bool splitTag(QStringView tag, QStringList &pieces)
{
    qsizetype at = 0;
    while (at < tag.size()) {
        if (!isDigit(tag[at]) && !isLetter(tag[at]))
            return false;
        const qsizetype end = runEnd(tag, at);
        const QStringView run = tag.mid(at, end - at);
        pieces.append(isDigit(run[0]) ? withoutLeadingZeros(run) : run.toString().toLower());
        at = end;
        // One separator at most, and never at the end.
        if (at < tag.size() && isSeparator(tag[at]) && ++at == tag.size())
            return false;
    }
    return !pieces.isEmpty();
}

bool isBuildMetadata(QStringView build)
{
    if (build.isEmpty())
        return false;
    for (QChar c : build) {
        if (!isDigit(c) && !isLetter(c) && !isSeparator(c))
            return false;
    }
    return true;
}

} // namespace

Version Version::parse(QStringView text)
{
    text = text.trimmed();
    Version version;
    version.m_text = text.toString();
    if (text.size() > 1 && (text[0] == u'v' || text[0] == u'V') && isDigit(text[1]))
        text = text.mid(1);
    const qsizetype plus = text.indexOf(u'+');
    if (plus >= 0) {
        if (!isBuildMetadata(text.mid(plus + 1)))
            return version;
        text = text.left(plus);
    }

    qsizetype at = 0;
    for (;;) {
        if (at >= text.size() || !isDigit(text[at]))
            return version;
        const qsizetype end = runEnd(text, at);
        version.m_numbers.append(withoutLeadingZeros(text.mid(at, end - at)));
        at = end;
        if (at < text.size() && text[at] == u'.' && at + 1 < text.size() && isDigit(text[at + 1]))
            ++at;
        else
            break;
    }
    if (at < text.size()) {
        if (text[at] == u'-')
            ++at;
        else if (!isLetter(text[at]))
            return version;
        if (!splitTag(text.mid(at), version.m_preRelease))
            return version;
    }
    version.m_valid = true;
    return version;
}

std::strong_ordering operator<=>(const Version &a, const Version &b)
{
    if (!a.m_valid || !b.m_valid)
        return a.m_valid <=> b.m_valid;

    static const QString zero = u"0"_s;
    const qsizetype components = std::max(a.m_numbers.size(), b.m_numbers.size());
    for (qsizetype i = 0; i < components; ++i) {
        const QString &x = i < a.m_numbers.size() ? a.m_numbers[i] : zero;
        const QString &y = i < b.m_numbers.size() ? b.m_numbers[i] : zero;
        if (const auto order = compareNumbers(x, y); order != 0)
            return order;
    }

    // A release comes after all of its pre-releases.
    if (a.m_preRelease.isEmpty() || b.m_preRelease.isEmpty())
        return a.m_preRelease.isEmpty() <=> b.m_preRelease.isEmpty();
    const qsizetype pieces = std::min(a.m_preRelease.size(), b.m_preRelease.size());
    for (qsizetype i = 0; i < pieces; ++i) {
        const QString &x = a.m_preRelease[i];
        const QString &y = b.m_preRelease[i];
        const bool xNumber = isDigit(x[0]);
        const bool yNumber = isDigit(y[0]);
        if (xNumber != yNumber)
            return yNumber <=> xNumber; // a number before a word
        const auto order = xNumber ? compareNumbers(x, y) : x.compare(y) <=> 0;
        if (order != 0)
            return order;
    }
    return a.m_preRelease.size() <=> b.m_preRelease.size();
}

} // namespace vesko
