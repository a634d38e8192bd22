#pragma once

#include "kit/ChannelAmount.h"
#include "kit/ProjectAmount.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace vesko {

// The account's revenue summary. Amounts are minor units of `currency`.
class Summary
{
public:
    struct Fields
    {
        QString currency;
        qint64 mrr;
        qint64 arr;
        qint64 active;
        qint64 new_;
        qint64 cancelled;
        std::optional<double> growth; // percent: 12.4 means 12.4 %
        qint64 ending;                // MRR of subscriptions set to end
        QList<ChannelAmount> byChannel;
        QList<ProjectAmount> byProject;
        bool hasSources;
        bool incomplete; // some amounts wait for the day's exchange rate
        std::optional<QDateTime> lastSyncedAt;

        friend bool operator==(const Fields &, const Fields &) = default;
    };

    explicit Summary(Fields fields)
        : f(std::move(fields))
    {}

    const QString &currency() const { return f.currency; }
    qint64 mrr() const { return f.mrr; }
    qint64 arr() const { return f.arr; }
    qint64 active() const { return f.active; }
    qint64 new_() const { return f.new_; }
    qint64 cancelled() const { return f.cancelled; }
    std::optional<double> growth() const { return f.growth; }
    qint64 ending() const { return f.ending; }
    const QList<ChannelAmount> &byChannel() const { return f.byChannel; }
    const QList<ProjectAmount> &byProject() const { return f.byProject; }
    bool hasSources() const { return f.hasSources; }
    bool incomplete() const { return f.incomplete; }
    const std::optional<QDateTime> &lastSyncedAt() const { return f.lastSyncedAt; }

    friend bool operator==(const Summary &, const Summary &) = default;

    static Summary decode(const json::Value &value);

private:
    Fields f;
};

} // namespace vesko
