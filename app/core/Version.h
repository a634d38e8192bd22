#pragma once

#include <QString>
#include <QStringList>

#include <compare>

namespace vesko {

// A release version as update feeds write it, ordered the way people read it.
//
//   [v]N(.N)*[PRE][+BUILD]
//
// Numbers compare as integers of any length ("1.10" > "1.9"); missing and
// trailing zero components are equal ("1.0" == "1.0.0"). PRE is a pre-release
// tag, after a '-' ("1.2.0-beta.2") or straight after a number ("1.2b2"); a
// version with one comes before the same numbers without ("1.2.0-rc1" <
// "1.2.0"). Tags compare piece by piece, runs of digits as numbers and runs of
// letters case-insensitively, a number before a word, and fewer pieces first
// ("alpha" < "alpha.1" < "alpha.2" < "alpha.10" < "beta" < "rc"). BUILD
// never counts. Anything else is garbage: invalid, equal to other garbage and
// older than every valid version, so it is never offered as an update.
class Version
{
public:
    Version() = default;
    static Version parse(QStringView text);

    bool isValid() const { return m_valid; }
    // As written, less surrounding space; empty for the default value.
    const QString &text() const { return m_text; }

    friend std::strong_ordering operator<=>(const Version &a, const Version &b);
    friend bool operator==(const Version &a, const Version &b) { return (a <=> b) == 0; }

private:
    bool m_valid = false;
    QString m_text;
    // Without leading zeros; missing ones count as zero.
    QStringList m_numbers;
    // Digit runs without leading zeros, and lower-cased letter runs.
    QStringList m_preRelease;
};

} // namespace vesko
