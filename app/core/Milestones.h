#pragma once

#include <QList>

#include <optional>

// The round figures an MRR is celebrated for passing: 1K, 2K, 5K, 10K, 20K,
// 50K, 100K, … in major units of the account's currency, given here in minor
// units (hundredths: 1K is 100000), up to the largest that a qint64 holds.
namespace vesko::Milestones {

// Every round figure, ascending.
const QList<qint64> &roundFigures();

// The highest round figure at or below `mrr`; none below 1K.
std::optional<qint64> highestReached(qint64 mrr);

// The round figures at or below `mrr`, ascending.
QList<qint64> reached(qint64 mrr);

} // namespace vesko::Milestones
