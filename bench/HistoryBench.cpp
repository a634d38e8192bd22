// The MRR history's costs: one kept figure against a bare prepared INSERT
// through Qt SQL on the same pragmas (the least an SQLite row costs here), and
// the file a year of minute refreshes leaves, against the same figures in a
// bare two-column table.
#include "app/linux/SqliteRevenueHistory.h"
#include "bench/Probe.h"
#include "bench/Table.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

using namespace vesko;
using namespace vesko::bench;

namespace {

// An account id as long as the service's own.
const QString account = u"acct_7f3c2a9e-41d8-4b6e-9c1a-0d5e8f2b6a31"_s;
const QString scope = u"all"_s;
const QString currency = u"USD"_s;
constexpr int perRound = 2000;
constexpr int rounds = 9;
constexpr qint64 yearOfMinutes = qint64{365} * 24 * 60;

// The floor: one table, the same pragmas as the history, one prepared INSERT.
class BareTable
{
public:
    explicit BareTable(const QString &path)
        : m_name(u"bare-"_s + path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_name);
        db.setDatabaseName(path);
        db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=250"_s);
        db.open();
        QSqlQuery setup(db);
        for (const QString &sql : {u"PRAGMA journal_mode=WAL"_s, u"PRAGMA synchronous=NORMAL"_s,
                                   u"CREATE TABLE readings (at INTEGER NOT NULL, mrr INTEGER NOT NULL)"_s}) {
            if (!setup.exec(sql))
                m_failure = setup.lastError().text();
        }
        m_insert.emplace(db);
        if (!m_insert->prepare(u"INSERT INTO readings (at, mrr) VALUES (?, ?)"_s))
            m_failure = m_insert->lastError().text();
    }
    ~BareTable()
    {
        m_insert.reset();
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    BareTable(const BareTable &) = delete;
    BareTable &operator=(const BareTable &) = delete;
    void insert(qint64 at, qint64 mrr)
    {
        m_insert->bindValue(0, at);
        m_insert->bindValue(1, mrr);
        if (!m_insert->exec())
            m_failure = m_insert->lastError().text();
    }
    QString failure() const { return m_failure; }

private:
    QString m_name;
    std::optional<QSqlQuery> m_insert;
    QString m_failure;
};

double usPerCall(const std::function<void(int)> &call, int &next)
{
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < perRound; ++i)
        call(next++);
    return double(clock.nsecsElapsed()) / perRound / 1000;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const qint64 start = QDateTime::currentSecsSinceEpoch() - yearOfMinutes * 60;

    {
        // Spacing 0 and a minute apart: every call really inserts.
        SqliteRevenueHistory history(dir.filePath(u"record/history.sqlite"_s), 0s);
        BareTable bare(dir.filePath(u"bare.sqlite"_s));
        int recorded = 0, inserted = 0;
        const auto record = [&](int i) {
            history.record(account, scope, currency, QDateTime::fromSecsSinceEpoch(start + qint64{60} * i, Qt::UTC),
                           1234567 + i);
        };
        const auto insert = [&](int i) { bare.insert(start + qint64{60} * i, 1234567 + i); };
        usPerCall(record, recorded); // warm-up
        usPerCall(insert, inserted);
        // Interleaved, so a stretch of load elsewhere on the machine falls on both.
        QList<double> recordUs, insertUs;
        for (int round = 0; round < rounds; ++round) {
            recordUs << usPerCall(record, recorded);
            insertUs << usPerCall(insert, inserted);
        }
        const QString figure =
            u"record one MRR figure / bare prepared INSERT (median of %1 rounds of %2)"_s.arg(rounds).arg(perRound);
        if (!history.isWorking() || !bare.failure().isEmpty()) {
            std::fprintf(stderr, "vesko-bench-history: %s%s\n", qPrintable(history.failure()),
                         qPrintable(bare.failure()));
            print(failed(figure, u"the database failed"_s));
            return 1;
        }
        print(compared(figure, median(recordUs), median(insertUs), u"us"_s, 1, 2.0));
    }

    // A year of refreshes a minute apart, kept with the real spacing.
    const QString yearPath = dir.filePath(u"year/history.sqlite"_s);
    const QString barePath = dir.filePath(u"year-bare.sqlite"_s);
    qint64 kept = 0;
    QElapsedTimer clock;
    clock.start();
    {
        SqliteRevenueHistory history(yearPath);
        for (qint64 minute = 0; minute < yearOfMinutes; ++minute)
            history.record(account, scope, currency, QDateTime::fromSecsSinceEpoch(start + minute * 60, Qt::UTC),
                           1234567 + minute);
        kept = history.readings(account, scope, currency, {}).size();
        if (!history.isWorking()) {
            std::fprintf(stderr, "vesko-bench-history: %s\n", qPrintable(history.failure()));
            print(failed(u"history file after a year"_s, u"the database failed"_s));
            return 1;
        }
    }
    const double yearMs = double(clock.nsecsElapsed()) / 1e6;
    {
        BareTable bare(barePath);
        for (qint64 row = 0; row < kept; ++row)
            bare.insert(start + row * 300, 1234567 + row * 5);
    }
    // Both closed: the write-ahead log is folded into the file and removed.
    const auto kib = [](const QString &path) { return double(QFileInfo(path).size()) / 1024; };
    print(
        compared(u"history file after a year of minute refreshes (%1 figures kept) / bare two-column table"_s.arg(kept),
                 kib(yearPath), kib(barePath), u"KiB"_s, 0, std::nullopt));
    print(Row{.figure = u"a year of minute refreshes: %1 record calls, in all"_s.arg(yearOfMinutes),
              .measured = number(yearMs, 0) + u" ms"_s});
    if (QFileInfo::exists(yearPath + u"-wal"_s))
        std::fprintf(stderr, "vesko-bench-history: a write-ahead log was left: %.0f KiB\n", kib(yearPath + u"-wal"_s));
    return 0;
}
