#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

namespace vesko {

// One stored MRR figure: minor units of the currency it was read in.
struct MrrReading
{
    QDateTime at; // UTC
    qint64 mrr = 0;

    friend bool operator==(const MrrReading &, const MrrReading &) = default;
};

// The MRR over time, kept on this machine per account and scope ("all" or a
// project's id), for the trend line; and the milestones already celebrated.
// A store that cannot work (missing, locked or corrupt) switches itself off
// for the run: it then keeps nothing, answers empty and never fails the caller.
class RevenueHistory
{
public:
    virtual ~RevenueHistory() = default;

    // Keeps the figure, unless the scope already has one younger than the
    // store's spacing (a few minutes): a poll every minute adds a row only now
    // and then.
    virtual void record(const QString &account, const QString &scope, const QString &currency, const QDateTime &at,
                        qint64 mrr) = 0;
    // The scope's figures in `currency` from `since` on, oldest first.
    virtual QList<MrrReading> readings(const QString &account, const QString &scope, const QString &currency,
                                       const QDateTime &since) const = 0;
    // Remembers that the scope's MRR has passed `threshold` (minor units of
    // `currency`). True only the first time, across runs.
    virtual bool markMilestone(const QString &account, const QString &scope, const QString &currency,
                               qint64 threshold) = 0;
    // Everything kept for the account: its figures and its milestones.
    virtual void forgetAccount(const QString &account) = 0;
};

} // namespace vesko
