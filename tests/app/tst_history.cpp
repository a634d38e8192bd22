// The MRR history in its SQLite file (spacing, pruning, restarts, and every
// way the file can fail), the round figures, and the milestone notifications
// a sequence of refreshes brings, against a scripted service.
#include "app/core/AppModel.h"
#include "app/core/MilestoneWatcher.h"
#include "app/core/Milestones.h"
#include "app/linux/SqliteRevenueHistory.h"
#include "kit/Money.h"
#include "tests/support/Fakes.h"
#include "tests/support/Fixtures.h"
#include "tests/support/ModelRig.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

using namespace vesko;

namespace {

const QString usd = u"USD"_s;
const QDateTime t0 = QDateTime::fromSecsSinceEpoch(1772357400, Qt::UTC);

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A second connection to the same file, as another process would hold it.
struct Locker
{
    QString name;
    QSqlDatabase db;
    explicit Locker(const QString &path, const QString &connection)
        : name(connection)
    {
        db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(path);
        db.open();
    }
    bool exec(const QString &sql)
    {
        QSqlQuery query(db);
        return query.exec(sql);
    }
    ~Locker()
    {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
};

// A model on a scripted service whose summary reads each refresh's MRR, a
// history in a scratch file, and the watcher between them.
struct Stage : ModelRig
{
    FakeNotifier notifier;
    QDateTime now = t0;
    std::unique_ptr<AppModel> model;
    std::unique_ptr<SqliteRevenueHistory> history;
    std::unique_ptr<MilestoneWatcher> watcher;

    Stage()
    {
        secrets.stored = u"tok"_s;
        model = std::make_unique<AppModel>(environment([this] { return now; }));
        restart();
    }
    QString path() const { return dir.filePath(u"data/vesko/history.sqlite"_s); }
    void restart()
    {
        watcher.reset();
        history = std::make_unique<SqliteRevenueHistory>(path());
        watcher = std::make_unique<MilestoneWatcher>(*model, notifier, settings, *history, [] { return u"all"_s; });
    }
    bool load(qint64 mrr)
    {
        QJsonObject summary = fixtures::summary();
        summary[u"mrr"_s] = mrr;
        service.replies["/v1/summary"] = ScriptedReply::json(200, fixtures::envelope(summary));
        now = now.addSecs(60);
        const int before = service.count("/v1/summary");
        model->refresh();
        return QTest::qWaitFor(
            [&] { return service.count("/v1/summary") > before && model->findChildren<Refresh *>().isEmpty(); }, 5000);
    }
};

} // namespace

class HistoryTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_files = 0;

    QString freshPath() { return m_dir.filePath(u"h%1/vesko/history.sqlite"_s.arg(++m_files)); }

private slots:
    void roundFigures_data()
    {
        QTest::addColumn<qint64>("mrr");
        QTest::addColumn<QList<qint64>>("reached");

        QTest::newRow("nothing yet") << qint64{0} << QList<qint64>{};
        QTest::newRow("a cent short of 1K") << qint64{99999} << QList<qint64>{};
        QTest::newRow("negative") << qint64{-500000} << QList<qint64>{};
        QTest::newRow("1K exactly") << qint64{100000} << QList<qint64>{100000};
        QTest::newRow("4,999.99") << qint64{499999} << QList<qint64>{100000, 200000};
        QTest::newRow("12,345.67") << qint64{1234567} << QList<qint64>{100000, 200000, 500000, 1000000};
        QTest::newRow("1M") << qint64{100000000} << QList<qint64>{100000,  200000,   500000,   1000000,  2000000,
                                                                  5000000, 10000000, 20000000, 50000000, 100000000};
    }
    void roundFigures()
    {
        QFETCH(qint64, mrr);
        QFETCH(QList<qint64>, reached);
        QCOMPARE(Milestones::reached(mrr), reached);
        QCOMPARE(Milestones::highestReached(mrr),
                 reached.isEmpty() ? std::nullopt : std::optional<qint64>(reached.last()));
    }
    void roundFiguresReachTheTop()
    {
        // 1, 2, 5 in every decade from 1K up to the largest a qint64 holds.
        const QList<qint64> &all = Milestones::roundFigures();
        QCOMPARE(Milestones::highestReached(std::numeric_limits<qint64>::max()), all.last());
        QCOMPARE(all.last(), qint64{5'000'000'000'000'000'000});
        QCOMPARE(Milestones::reached(std::numeric_limits<qint64>::max()), all);
        for (qsizetype i = 3; i < all.size(); ++i)
            QCOMPARE(all[i], all[i - 3] * 10);
    }

    void spacing_data()
    {
        QTest::addColumn<int>("spacingMinutes");
        QTest::addColumn<int>("stepSeconds"); // between polls; negative: the clock runs back
        QTest::addColumn<int>("polls");
        QTest::addColumn<int>("kept");

        QTest::newRow("an hour of minute polls, five-minute spacing") << 5 << 60 << 60 << 12;
        QTest::newRow("no spacing keeps every poll") << 0 << 60 << 60 << 60;
        QTest::newRow("polls slower than the spacing") << 5 << 600 << 10 << 10;
        QTest::newRow("a clock running back") << 5 << -60 << 60 << 12;
    }
    void spacing()
    {
        QFETCH(int, spacingMinutes);
        QFETCH(int, stepSeconds);
        QFETCH(int, polls);
        QFETCH(int, kept);
        SqliteRevenueHistory history(freshPath(), std::chrono::minutes(spacingMinutes));
        QVERIFY2(history.isWorking(), qPrintable(history.failure()));
        for (int i = 0; i < polls; ++i) {
            const QDateTime at = t0.addSecs(qint64{i} * stepSeconds);
            history.record(u"u1"_s, u"all"_s, usd, at, 1000 + i);
            history.record(u"u1"_s, u"p1"_s, usd, at, 500 + i); // another scope, spaced on its own
        }
        const QList<MrrReading> all = history.readings(u"u1"_s, u"all"_s, usd, {});
        QCOMPARE(all.size(), kept);
        QCOMPARE(history.readings(u"u1"_s, u"p1"_s, usd, {}).size(), kept);
        for (qsizetype i = 1; i < all.size(); ++i)
            QVERIFY(all[i - 1].at < all[i].at); // oldest first
    }

    void readingsFilter()
    {
        SqliteRevenueHistory history(freshPath(), 0s);
        history.record(u"u1"_s, u"all"_s, usd, t0, 100);
        history.record(u"u1"_s, u"all"_s, u"EUR"_s, t0.addSecs(60), 90);
        history.record(u"u1"_s, u"all"_s, usd, t0.addSecs(120), 110);
        history.record(u"u2"_s, u"all"_s, usd, t0.addSecs(180), 5);
        QCOMPARE(history.readings(u"u1"_s, u"all"_s, usd, {}), (QList<MrrReading>{{t0, 100}, {t0.addSecs(120), 110}}));
        QCOMPARE(history.readings(u"u1"_s, u"all"_s, usd, t0.addSecs(1)), (QList<MrrReading>{{t0.addSecs(120), 110}}));
        QCOMPARE(history.readings(u"u1"_s, u"all"_s, u"EUR"_s, {}), (QList<MrrReading>{{t0.addSecs(60), 90}}));
    }

    void prune_data()
    {
        QTest::addColumn<bool>("reopen"); // else: a figure kept a day later prunes
        QTest::newRow("on open") << true;
        QTest::newRow("a day later, in the same run") << false;
    }
    void prune()
    {
        QFETCH(bool, reopen);
        const QString path = freshPath();
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const QDateTime old = now.addYears(-2).addDays(-1), young = now.addYears(-2).addDays(2);
        auto history = std::make_unique<SqliteRevenueHistory>(path);
        history->record(u"u1"_s, u"all"_s, usd, old, 1);
        history->record(u"u1"_s, u"all"_s, usd, young, 2);
        QCOMPARE(history->readings(u"u1"_s, u"all"_s, usd, {}).size(), 2); // not on every write
        QDateTime last = young;
        if (reopen) {
            history = std::make_unique<SqliteRevenueHistory>(path);
        } else {
            last = now.addDays(1).addSecs(1);
            history->record(u"u1"_s, u"all"_s, usd, last, 3);
        }
        const QList<MrrReading> left = history->readings(u"u1"_s, u"all"_s, usd, {});
        QCOMPARE(left.first(), (MrrReading{young.addMSecs(-young.time().msec()), 2}));
        QCOMPARE(left.last().at, last.addMSecs(-last.time().msec()));
    }

    void restartKeepsEverything()
    {
        const QString path = freshPath();
        {
            SqliteRevenueHistory history(path);
            history.record(u"u1"_s, u"all"_s, usd, t0, 4200);
            QVERIFY(history.markMilestone(u"u1"_s, u"all"_s, usd, 100000));
            QVERIFY(!history.markMilestone(u"u1"_s, u"all"_s, usd, 100000));
        }
        const QFileInfo file(path);
        QCOMPARE(file.permissions() & 0x0777, QFile::ReadUser | QFile::WriteUser);
        QCOMPARE(QFileInfo(file.absolutePath()).permissions() & 0x0777,
                 QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
        SqliteRevenueHistory history(path);
        QCOMPARE(history.readings(u"u1"_s, u"all"_s, usd, {}), (QList<MrrReading>{{t0, 4200}}));
        // Once across runs; another scope or currency is another milestone.
        QVERIFY(!history.markMilestone(u"u1"_s, u"all"_s, usd, 100000));
        QVERIFY(history.markMilestone(u"u1"_s, u"p1"_s, usd, 100000));
        QVERIFY(history.markMilestone(u"u1"_s, u"all"_s, u"EUR"_s, 100000));
        // Within the spacing of the figure kept before the restart.
        history.record(u"u1"_s, u"all"_s, usd, t0.addSecs(60), 4300);
        QCOMPARE(history.readings(u"u1"_s, u"all"_s, usd, {}).size(), 1);
    }

    void forgetAccount()
    {
        SqliteRevenueHistory history(freshPath());
        for (const QString &account : {u"u1"_s, u"u2"_s}) {
            history.record(account, u"all"_s, usd, t0, 1);
            history.record(account, u"p1"_s, usd, t0, 1);
            history.markMilestone(account, u"all"_s, usd, 100000);
        }
        history.forgetAccount(u"u1"_s);
        QVERIFY(history.readings(u"u1"_s, u"all"_s, usd, {}).isEmpty());
        QVERIFY(history.readings(u"u1"_s, u"p1"_s, usd, {}).isEmpty());
        QVERIFY(history.markMilestone(u"u1"_s, u"all"_s, usd, 100000));
        QCOMPARE(history.readings(u"u2"_s, u"all"_s, usd, {}).size(), 1);
        QVERIFY(!history.markMilestone(u"u2"_s, u"all"_s, usd, 100000));
        // Spacing starts over, too.
        history.record(u"u1"_s, u"all"_s, usd, t0.addSecs(60), 2);
        QCOMPARE(history.readings(u"u1"_s, u"all"_s, usd, {}).size(), 1);
        QVERIFY(history.isWorking());
    }

    void switchesOff_data()
    {
        QTest::addColumn<QString>("trouble");
        QTest::newRow("garbage bytes") << u"garbage"_s;
        QTest::newRow("a newer schema") << u"newer"_s;
        QTest::newRow("locked by another process") << u"locked"_s;
        QTest::newRow("locked after opening") << u"lockedLater"_s;
        QTest::newRow("a directory that cannot be made") << u"nodir"_s;
    }
    void switchesOff()
    {
        QFETCH(QString, trouble);
        QString path = freshPath();
        QDir().mkpath(QFileInfo(path).absolutePath());
        std::optional<Locker> locker;
        std::unique_ptr<SqliteRevenueHistory> history;
        if (trouble == u"garbage") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray("not a database, but someone's data all the same\n").repeated(100));
        } else if (trouble == u"newer") {
            Locker writer(path, u"writer"_s);
            QVERIFY(writer.exec(u"CREATE TABLE readings (x)"_s) && writer.exec(u"PRAGMA user_version=2"_s));
        } else if (trouble.startsWith(u"locked")) {
            SqliteRevenueHistory(path).record(u"u1"_s, u"all"_s, usd, t0, 1);
            if (trouble == u"lockedLater")
                history = std::make_unique<SqliteRevenueHistory>(path, 0s);
            locker.emplace(path, u"locker"_s);
            if (trouble == u"locked")
                QVERIFY(locker->exec(u"PRAGMA locking_mode=EXCLUSIVE"_s));
            QVERIFY(locker->exec(u"BEGIN EXCLUSIVE"_s));
            QVERIFY(locker->exec(u"DELETE FROM readings"_s));
        } else if (trouble == u"nodir") {
            QFile blocker(QFileInfo(path).absolutePath());
            QDir(blocker.fileName()).removeRecursively();
            QVERIFY(blocker.open(QIODevice::WriteOnly)); // a file where the directory should be
            path = blocker.fileName() + u"/vesko/history.sqlite"_s;
        }
        const QByteArray before = contents(path);

        // Logged once, however often it is asked afterwards.
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(u"^Keeping no MRR history.*"_s + QRegularExpression::escape(path)));
        QTest::failOnWarning(QRegularExpression(u".*"_s));
        if (!history)
            history = std::make_unique<SqliteRevenueHistory>(path, 0s);
        for (int i = 0; i < 3; ++i)
            history->record(u"u1"_s, u"all"_s, usd, t0.addSecs(qint64{60} * (i + 1)), 2);
        QVERIFY(!history->isWorking());
        QVERIFY(history->failure().contains(path));
        QVERIFY(history->readings(u"u1"_s, u"all"_s, usd, {}).isEmpty());
        QVERIFY(!history->markMilestone(u"u1"_s, u"all"_s, usd, 100000));
        history->forgetAccount(u"u1"_s);
        if (trouble == u"garbage" || trouble == u"newer")
            QCOMPARE(contents(path), before);
        if (locker) {
            // What the other side holds is its own to finish; the file is intact.
            QVERIFY(locker->exec(u"ROLLBACK"_s));
            locker.reset();
            history.reset();
            QCOMPARE(SqliteRevenueHistory(path).readings(u"u1"_s, u"all"_s, usd, {}).size(), 1);
        }
    }

    void milestones_data()
    {
        QTest::addColumn<QList<qint64>>("loads"); // each refresh's MRR; -1: Vesko restarts
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("hide");
        QTest::addColumn<QStringList>("titles"); // every notification shown, in order

        QTest::newRow("the first figure is the baseline") << QList<qint64>{1234567} << true << false << QStringList{};
        QTest::newRow("one figure passed")
            << QList<qint64>{150000, 210000} << true << false << QStringList{u"Your MRR passed $2K"_s};
        QTest::newRow("several at once: the highest")
            << QList<qint64>{150000, 1200000} << true << false << QStringList{u"Your MRR passed $10K"_s};
        QTest::newRow("up, down and up again: once")
            << QList<qint64>{150000, 210000, 190000, 210000} << true << false << QStringList{u"Your MRR passed $2K"_s};
        QTest::newRow("from below every figure")
            << QList<qint64>{99999, 100000} << true << false << QStringList{u"Your MRR passed $1K"_s};
        QTest::newRow("once across restarts")
            << QList<qint64>{150000, 210000, -1, 210000, 190000, 510000} << true << false
            << QStringList{u"Your MRR passed $2K"_s, u"Your MRR passed $5K"_s};
        QTest::newRow("passed while Vesko was closed")
            << QList<qint64>{150000, -1, 510000} << true << false << QStringList{u"Your MRR passed $5K"_s};
        QTest::newRow("switched off: marked all the same")
            << QList<qint64>{150000, 210000} << false << false << QStringList{};
        QTest::newRow("hidden amounts") << QList<qint64>{150000, 210000} << true << true
                                        << QStringList{u"Your MRR passed "_s + Money::masked(usd)};
    }
    void milestones()
    {
        QFETCH(QList<qint64>, loads);
        QFETCH(bool, enabled);
        QFETCH(bool, hide);
        QFETCH(QStringList, titles);
        Stage stage;
        stage.watcher->setEnabled(enabled);
        stage.model->setHideAmounts(hide);
        for (const qint64 mrr : loads) {
            if (mrr < 0)
                stage.restart();
            else
                QVERIFY(stage.load(mrr));
        }
        QStringList shown;
        for (const Notification &notification : stage.notifier.shown) {
            shown << notification.title;
            QCOMPARE(notification.sound, u"default"_s); // the account's sound
            QCOMPARE(notification.body.contains(Money::masked(usd)), hide);
        }
        QCOMPARE(shown, titles);
        if (!enabled) {
            stage.watcher->setEnabled(true);
            QVERIFY(stage.load(loads.last()));
            QVERIFY(stage.notifier.shown.isEmpty());
        }
        QVERIFY(!stage.history->readings(u"u1"_s, u"all"_s, usd, {}).isEmpty());
    }

    void signOutForgetsTheAccount()
    {
        Stage stage;
        QVERIFY(stage.load(150000));
        QVERIFY(stage.load(210000));
        stage.history->record(u"u2"_s, u"all"_s, usd, t0, 1); // someone else's, on the same machine
        QVERIFY(!stage.history->readings(u"u1"_s, u"all"_s, usd, {}).isEmpty());
        stage.model->signOut();
        QVERIFY(stage.history->readings(u"u1"_s, u"all"_s, usd, {}).isEmpty());
        QVERIFY(stage.history->markMilestone(u"u1"_s, u"all"_s, usd, 200000));
        QCOMPARE(stage.history->readings(u"u2"_s, u"all"_s, usd, {}).size(), 1);
    }

    // A token the service refuses signs the user out, but is no reason to
    // throw away what the machine kept.
    void refusedTokenKeepsTheHistory()
    {
        Stage stage;
        QVERIFY(stage.load(150000));
        stage.service.replies["/v1/me"] = ScriptedReply::json(401, "{}");
        stage.model->refresh();
        QVERIFY(QTest::qWaitFor([&] { return !stage.model->isSignedIn(); }, 5000));
        QCOMPARE(stage.history->readings(u"u1"_s, u"all"_s, usd, {}).size(), 1);
    }
};

QTEST_GUILESS_MAIN(HistoryTest)
#include "tst_history.moc"
