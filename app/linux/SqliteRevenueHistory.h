#pragma once

#include "app/core/RevenueHistory.h"

#include <QHash>
#include <QSqlQuery>

#include <chrono>
#include <memory>
#include <optional>

namespace vesko {

// The history in an SQLite database of its own, history.sqlite under the
// user's data directory ($XDG_DATA_HOME/vesko), readable by the user alone.
// Used from one thread. Whatever goes wrong (a directory that cannot be made,
// a database another process holds locked, a damaged file, a statement that
// fails) switches the store off for the run, logged once; the file itself is
// never deleted or rewritten.
class SqliteRevenueHistory final : public RevenueHistory
{
public:
    // `spacing`: the least time between two kept figures of one scope.
    explicit SqliteRevenueHistory(const QString &path = defaultPath(),
                                  std::chrono::seconds spacing = std::chrono::minutes(5));
    ~SqliteRevenueHistory() override;
    SqliteRevenueHistory(const SqliteRevenueHistory &) = delete;
    SqliteRevenueHistory &operator=(const SqliteRevenueHistory &) = delete;

    static QString defaultPath();

    bool isWorking() const { return m_failure.isEmpty(); }
    // Why the store is off, with the file's path; empty while it works.
    QString failure() const { return m_failure; }

    void record(const QString &account, const QString &scope, const QString &currency, const QDateTime &at,
                qint64 mrr) override;
    QList<MrrReading> readings(const QString &account, const QString &scope, const QString &currency,
                               const QDateTime &since) const override;
    bool markMilestone(const QString &account, const QString &scope, const QString &currency,
                       qint64 threshold) override;
    void forgetAccount(const QString &account) override;

private:
    struct Statements;

    void open();
    bool migrate();
    bool prepare();
    void prune(qint64 now);
    // The id of the account's figures in a scope and currency, made on first use.
    std::optional<qint64> series(const QString &account, const QString &scope, const QString &currency);
    // Runs a prepared statement; a failure switches the store off.
    bool run(QSqlQuery &query) const;
    bool run(const QString &sql) const;
    void switchOff(const QString &why) const;

    QString m_path;
    QString m_connection;
    qint64 m_spacing;
    mutable QString m_failure;
    mutable std::unique_ptr<Statements> m_statements;
    // The last kept figure's time per account and scope, read once per run.
    QHash<QString, qint64> m_lastAt;
    QHash<QString, qint64> m_series;
    qint64 m_prunedAt = 0;
};

} // namespace vesko
