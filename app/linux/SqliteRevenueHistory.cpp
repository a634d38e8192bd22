#include "app/linux/SqliteRevenueHistory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QStandardPaths>
#include <QVariant>

#include <atomic>
#include <limits>

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

// The layout this code reads and writes; a file from a newer Vesko is left alone.
constexpr int schemaVersion = 1;
// The main thread asks: a database another process holds is given up on, not waited for.
constexpr int busyTimeoutMs = 250;
constexpr int keptYears = 2;
constexpr qint64 pruneEverySeconds = qint64{24} * 60 * 60;
constexpr qint64 noneYet = std::numeric_limits<qint64>::min();

// The texts that name a series (account, scope, currency) are kept once, in
// `series`; a reading is three integers, stored in key order (WITHOUT ROWID):
// a series' figures lie together and no index repeats them. Pruning by age
// alone scans the readings, once a day.
const QString createSeries = uR"(CREATE TABLE series (
    id INTEGER PRIMARY KEY,
    account TEXT NOT NULL,
    scope TEXT NOT NULL,
    currency TEXT NOT NULL,
    UNIQUE (account, scope, currency)
))"_s;
const QString createReadings = uR"(CREATE TABLE readings (
    series INTEGER NOT NULL REFERENCES series (id),
    at INTEGER NOT NULL,
    mrr INTEGER NOT NULL,
    PRIMARY KEY (series, at)
) WITHOUT ROWID)"_s;
const QString createMilestones = uR"(CREATE TABLE milestones (
    account TEXT NOT NULL,
    scope TEXT NOT NULL,
    currency TEXT NOT NULL,
    threshold INTEGER NOT NULL,
    reached_at INTEGER NOT NULL,
    PRIMARY KEY (account, scope, currency, threshold)
) WITHOUT ROWID)"_s;

QString seriesKey(const QString &account, const QString &scope)
{
    return account + QChar(u'\x1f') + scope;
}

} // namespace

struct SqliteRevenueHistory::Statements
{
    explicit Statements(const QSqlDatabase &db)
        : latest(db),
          findSeries(db),
          addSeries(db),
          insert(db),
          select(db),
          mark(db),
          forgetReadings(db),
          forgetSeries(db),
          forgetMilestones(db),
          prune(db)
    {}
    QSqlQuery latest;
    QSqlQuery findSeries;
    QSqlQuery addSeries;
    QSqlQuery insert;
    QSqlQuery select;
    QSqlQuery mark;
    QSqlQuery forgetReadings;
    QSqlQuery forgetSeries;
    QSqlQuery forgetMilestones;
    QSqlQuery prune;

    QList<const QSqlQuery *> all() const
    {
        return {&latest, &findSeries,     &addSeries,    &insert,           &select,
                &mark,   &forgetReadings, &forgetSeries, &forgetMilestones, &prune};
    }
};

SqliteRevenueHistory::SqliteRevenueHistory(const QString &path, std::chrono::seconds spacing)
    : m_path(path),
      m_spacing(spacing.count())
{
    static std::atomic<int> opened = 0;
    m_connection = u"vesko-history-"_s + QString::number(++opened);
    open();
}

SqliteRevenueHistory::~SqliteRevenueHistory()
{
    m_statements.reset();
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

QString SqliteRevenueHistory::defaultPath()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? QString() : data + u"/vesko/history.sqlite"_s;
}

void SqliteRevenueHistory::open()
{
    if (m_path.isEmpty())
        return switchOff(u"no data directory"_s);
    const QFileInfo file(m_path);
    const QString dir = file.absolutePath();
    if (!QFileInfo::exists(dir)
        && !(QDir().mkpath(QFileInfo(dir).absolutePath())
             && QDir().mkdir(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)))
        return switchOff(u"cannot make the directory"_s);
    // Made here rather than by SQLite, to be the user's alone; the journal
    // files SQLite adds take the same permissions.
    if (!file.exists()) {
        QFile made(m_path);
        if (!made.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFile::ReadOwner | QFile::WriteOwner))
            return switchOff(made.errorString());
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_connection);
    if (!db.isValid())
        return switchOff(u"Qt SQL has no SQLite driver (libqt6sql6-sqlite)"_s);
    db.setDatabaseName(m_path);
    db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT="_s + QString::number(busyTimeoutMs));
    if (!db.open())
        return switchOff(db.lastError().text());
    if (!migrate() || !prepare())
        return;
    prune(QDateTime::currentSecsSinceEpoch());
}

bool SqliteRevenueHistory::migrate()
{
    // Read before anything is written: a damaged file or a lock held by
    // another process fails here, with the file as it was. A damaged file is
    // the user's data all the same, so it is never deleted or written over.
    QSqlQuery version(QSqlDatabase::database(m_connection, false));
    if (!version.exec(u"PRAGMA user_version"_s) || !version.next()) {
        switchOff(version.lastError().text());
        return false;
    }
    const int found = version.value(0).toInt();
    version.finish();
    if (found > schemaVersion) {
        switchOff(u"written by a newer Vesko (schema version %1)"_s.arg(found));
        return false;
    }
    if (!run(u"PRAGMA journal_mode=WAL"_s) || !run(u"PRAGMA synchronous=NORMAL"_s))
        return false;
    if (found == schemaVersion)
        return true;
    return run(u"BEGIN IMMEDIATE"_s) && run(createSeries) && run(createReadings) && run(createMilestones)
           && run(u"PRAGMA user_version="_s + QString::number(schemaVersion)) && run(u"COMMIT"_s);
}

bool SqliteRevenueHistory::prepare()
{
    m_statements = std::make_unique<Statements>(QSqlDatabase::database(m_connection, false));
    Statements &s = *m_statements;
    s.latest.setForwardOnly(true);
    s.select.setForwardOnly(true);
    const bool prepared =
        // Per series, so that each MAX is one look at the end of its key range.
        s.latest.prepare(u"SELECT MAX((SELECT MAX(at) FROM readings WHERE series = series.id)) FROM series"
                         " WHERE account = ? AND scope = ?"_s)
        && s.findSeries.prepare(u"SELECT id FROM series WHERE account = ? AND scope = ? AND currency = ?"_s)
        && s.addSeries.prepare(u"INSERT INTO series (account, scope, currency) VALUES (?, ?, ?)"_s)
        && s.insert.prepare(u"INSERT OR REPLACE INTO readings (series, at, mrr) VALUES (?, ?, ?)"_s)
        && s.select.prepare(u"SELECT at, mrr FROM readings WHERE series ="
                            " (SELECT id FROM series WHERE account = ? AND scope = ? AND currency = ?)"
                            " AND at >= ? ORDER BY at"_s)
        && s.mark.prepare(u"INSERT OR IGNORE INTO milestones (account, scope, currency, threshold, reached_at)"
                          " VALUES (?, ?, ?, ?, ?)"_s)
        && s.forgetReadings.prepare(u"DELETE FROM readings WHERE series IN (SELECT id FROM series WHERE account = ?)"_s)
        && s.forgetSeries.prepare(u"DELETE FROM series WHERE account = ?"_s)
        && s.forgetMilestones.prepare(u"DELETE FROM milestones WHERE account = ?"_s)
        && s.prune.prepare(u"DELETE FROM readings WHERE at < ?"_s);
    if (!prepared) {
        QString why = u"cannot prepare the statements"_s;
        for (const QSqlQuery *query :
             {&s.latest, &s.insert, &s.select, &s.mark, &s.forgetReadings, &s.forgetMilestones, &s.prune}) {
            if (query->lastError().isValid()) {
                why = query->lastError().text();
                break;
            }
        }
        switchOff(why);
    }
    return prepared;
}

void SqliteRevenueHistory::prune(qint64 now)
{
    if (!isWorking())
        return;
    m_prunedAt = now;
    QSqlQuery &prune = m_statements->prune;
    prune.bindValue(0, QDateTime::fromSecsSinceEpoch(now, Qt::UTC).addYears(-keptYears).toSecsSinceEpoch());
    run(prune);
    m_lastAt.clear();
}

void SqliteRevenueHistory::record(const QString &account, const QString &scope, const QString &currency,
                                  const QDateTime &at, qint64 mrr)
{
    if (!isWorking() || !at.isValid())
        return;
    const qint64 seconds = at.toSecsSinceEpoch();
    const QString key = seriesKey(account, scope);
    auto last = m_lastAt.find(key);
    if (last == m_lastAt.end()) {
        QSqlQuery &latest = m_statements->latest;
        latest.bindValue(0, account);
        latest.bindValue(1, scope);
        if (!run(latest))
            return;
        const QVariant newest = latest.next() ? latest.value(0) : QVariant();
        latest.finish();
        last = m_lastAt.insert(key, newest.isNull() ? noneYet : newest.toLongLong());
    }
    // Within the spacing on either side: a clock set back adds no burst of figures.
    if (*last != noneYet && qAbs(seconds - *last) < m_spacing)
        return;
    const std::optional<qint64> id = series(account, scope, currency);
    if (!id)
        return;
    QSqlQuery &insert = m_statements->insert;
    insert.bindValue(0, *id);
    insert.bindValue(1, seconds);
    insert.bindValue(2, mrr);
    if (!run(insert))
        return;
    *last = seconds;
    if (seconds - m_prunedAt >= pruneEverySeconds)
        prune(seconds);
}

std::optional<qint64> SqliteRevenueHistory::series(const QString &account, const QString &scope,
                                                   const QString &currency)
{
    const QString key = seriesKey(account, scope) + QChar(u'\x1f') + currency;
    if (const auto known = m_series.constFind(key); known != m_series.constEnd())
        return *known;
    QSqlQuery &find = m_statements->findSeries;
    find.bindValue(0, account);
    find.bindValue(1, scope);
    find.bindValue(2, currency);
    if (!run(find))
        return std::nullopt;
    std::optional<qint64> id;
    if (find.next())
        id = find.value(0).toLongLong();
    find.finish();
    if (!id) {
        QSqlQuery &add = m_statements->addSeries;
        add.bindValue(0, account);
        add.bindValue(1, scope);
        add.bindValue(2, currency);
        if (!run(add))
            return std::nullopt;
        id = add.lastInsertId().toLongLong();
    }
    m_series.insert(key, *id);
    return id;
}

QList<MrrReading> SqliteRevenueHistory::readings(const QString &account, const QString &scope, const QString &currency,
                                                 const QDateTime &since) const
{
    if (!isWorking())
        return {};
    QSqlQuery &select = m_statements->select;
    select.bindValue(0, account);
    select.bindValue(1, scope);
    select.bindValue(2, currency);
    select.bindValue(3, since.isValid() ? since.toSecsSinceEpoch() : noneYet);
    if (!run(select))
        return {};
    QList<MrrReading> found;
    while (select.next())
        found.append(
            {QDateTime::fromSecsSinceEpoch(select.value(0).toLongLong(), Qt::UTC), select.value(1).toLongLong()});
    select.finish();
    return found;
}

bool SqliteRevenueHistory::markMilestone(const QString &account, const QString &scope, const QString &currency,
                                         qint64 threshold)
{
    if (!isWorking())
        return false;
    QSqlQuery &mark = m_statements->mark;
    mark.bindValue(0, account);
    mark.bindValue(1, scope);
    mark.bindValue(2, currency);
    mark.bindValue(3, threshold);
    mark.bindValue(4, QDateTime::currentSecsSinceEpoch());
    // Ignored when it is there already: only the first mark changes a row.
    return run(mark) && mark.numRowsAffected() == 1;
}

void SqliteRevenueHistory::forgetAccount(const QString &account)
{
    if (!isWorking())
        return;
    Statements &s = *m_statements;
    s.forgetReadings.bindValue(0, account);
    s.forgetSeries.bindValue(0, account);
    s.forgetMilestones.bindValue(0, account);
    if (run(u"BEGIN IMMEDIATE"_s) && run(s.forgetReadings) && run(s.forgetSeries) && run(s.forgetMilestones))
        run(u"COMMIT"_s);
    m_lastAt.clear();
    m_series.clear();
}

bool SqliteRevenueHistory::run(QSqlQuery &query) const
{
    if (query.exec())
        return true;
    switchOff(query.lastError().text());
    return false;
}

bool SqliteRevenueHistory::run(const QString &sql) const
{
    if (!isWorking())
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (query.exec(sql))
        return true;
    switchOff(query.lastError().text());
    return false;
}

void SqliteRevenueHistory::switchOff(const QString &why) const
{
    if (!isWorking())
        return;
    m_failure = why.trimmed() + u" ("_s + m_path + u')';
    qWarning("Keeping no MRR history in this run: %s", qUtf8Printable(m_failure));
    // Closing lets go of the file, and rolls back whatever was half done.
    m_statements.reset();
    if (QSqlDatabase::contains(m_connection))
        QSqlDatabase::database(m_connection, false).close();
}

} // namespace vesko
