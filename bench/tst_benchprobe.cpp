// The probes the benchmarks trust: reading /proc, splitting a wake-up window
// into polls and idle time, the verdicts of the table, and the accounting of
// the demo service's connection count that the reuse figure subtracts from.
#include "bench/DevService.h"
#include "bench/Probe.h"
#include "bench/Table.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

using namespace vesko::bench;

namespace {

// A sample with one count per named thread (thread ids are 1, 2, ... in order).
WakeSample sample(qint64 atMs, qint64 requests, std::initializer_list<std::pair<QString, qint64>> threads)
{
    WakeSample s{.atMs = atMs, .serviceRequests = requests};
    qint64 tid = 0;
    for (const auto &[name, count] : threads)
        s.threads.insert(++tid, {name, count});
    return s;
}

} // namespace

class BenchProbeTest : public QObject
{
    Q_OBJECT

private slots:
    void statusField_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<qint64>("expected"); // -1: nothing

        const QByteArray status = "Name:\tvesko\nVmPeak:\t  900 kB\nVmRSS:\t   51234 kB\nRssFile:\t  20000 kB\n"
                                  "voluntary_ctxt_switches:\t17\nnonvoluntary_ctxt_switches:\t3\n";
        QTest::newRow("kB value") << status << QByteArray("VmRSS") << qint64(51234);
        QTest::newRow("plain count") << status << QByteArray("voluntary_ctxt_switches") << qint64(17);
        QTest::newRow("not a prefix of a longer name") << status << QByteArray("Rss") << qint64(-1);
        QTest::newRow("not a suffix either") << status << QByteArray("ctxt_switches") << qint64(-1);
        QTest::newRow("absent") << status << QByteArray("VmSwap") << qint64(-1);
        QTest::newRow("not a number") << status << QByteArray("Name") << qint64(-1);
        QTest::newRow("empty text") << QByteArray() << QByteArray("VmRSS") << qint64(-1);
        QTest::newRow("last line without newline") << QByteArray("VmRSS:\t12 kB") << QByteArray("VmRSS") << qint64(12);
    }
    void statusField()
    {
        QFETCH(QByteArray, status);
        QFETCH(QByteArray, name);
        QFETCH(qint64, expected);
        QCOMPARE(vesko::bench::statusField(status, name).value_or(-1), expected);
    }

    void residentByMapping()
    {
        const QByteArray smaps =
            "55d0a000-55d0b000 r--p 00000000 08:01 42    /usr/bin/vesko\n"
            "Size:                  4 kB\nRss:                   4 kB\nPss:                   2 kB\n"
            "7f10-7f20 r-xp 00000000 08:01 7  /usr/lib/x86_64-linux-gnu/libQt6Core.so.6.4.2\n"
            "Rss:                 900 kB\nShared_Rss:   1 kB\n"
            "7f20-7f30 rw-p 00100000 08:01 7  /usr/lib/x86_64-linux-gnu/libQt6Core.so.6.4.2\n"
            "Rss:                  24 kB\n"
            "7f30-7f40 rw-p 00000000 00:00 0 \nRss:                 300 kB\n"
            "7f40-7f50 rw-p 00000000 00:00 0 \nRss:                  12 kB\n"
            "55d0c000-55d1c000 rw-p 00000000 00:00 0      [heap]\nRss:  64 kB\nVmFlags: rd wr mr\n"
            "7f50-7f60 r--s 00000000 00:05 9  /memfd:wayland-shm (deleted)\nRss:  8 kB\n";
        const QMap<QString, qint64> expected{{u"vesko"_s, 4},
                                             {u"libQt6Core.so.6.4.2"_s, 924},
                                             {u"[anon]"_s, 312},
                                             {u"[heap]"_s, 64},
                                             {u"memfd:wayland-shm (deleted)"_s, 8}};
        QCOMPARE(vesko::bench::residentByMapping(smaps), expected);
    }

    void median_data()
    {
        QTest::addColumn<QList<double>>("values");
        QTest::addColumn<double>("expected");
        QTest::newRow("none") << QList<double>{} << 0.0;
        QTest::newRow("one") << QList<double>{7} << 7.0;
        QTest::newRow("odd, unsorted") << QList<double>{9, 1, 5} << 5.0;
        QTest::newRow("even: mean of the middle two") << QList<double>{4, 1, 3, 10} << 3.5;
        QTest::newRow("an outlier does not move it") << QList<double>{200, 201, 202, 5000, 199} << 201.0;
    }
    void median()
    {
        QFETCH(QList<double>, values);
        QFETCH(double, expected);
        QCOMPARE(vesko::bench::median(values), expected);
    }

    // Two measurements costing 1.0 and 1.2 on a machine whose load changes
    // from one reading to the next: their ratio must come out as 1.2 however
    // the load falls on the readings.
    void fastestInterleaved_data()
    {
        QTest::addColumn<QList<double>>("load"); // per reading, in the order taken
        QTest::newRow("quiet") << QList<double>(12, 1.0);
        QTest::newRow("busy for the first half") << QList<double>{3, 3, 3, 3, 3, 3, 1, 1, 1, 1, 1, 1};
        QTest::newRow("busy for the second half") << QList<double>{1, 1, 1, 1, 1, 1, 3, 3, 3, 3, 3, 3};
        QTest::newRow("every other reading slowed") << QList<double>{3, 1, 3, 1, 3, 1, 3, 1, 3, 1, 3, 1};
        QTest::newRow("a stall in the middle") << QList<double>{1.5, 1.5, 1.5, 8, 8, 8, 8, 8, 1, 1, 1, 1};
        QTest::newRow("slowly rising") << QList<double>{1,    1.01, 1.02, 1.03, 1.04, 1.05,
                                                        1.06, 1.07, 1.08, 1.09, 1.1,  1.11};
    }
    void fastestInterleaved()
    {
        QFETCH(QList<double>, load);
        qsizetype reading = 0;
        QList<int> taken{0, 0};
        const auto machine = [&](int which, double cost) {
            return [&, which, cost] {
                ++taken[which];
                return cost * load.value(reading++, 100.0);
            };
        };
        const QList<double> fastest = vesko::bench::fastestInterleaved(6, {machine(0, 1.0), machine(1, 1.2)});
        QCOMPARE(taken, (QList<int>{6, 6}));
        QCOMPARE(fastest.size(), 2);
        QVERIFY2(qAbs(fastest[1] / fastest[0] - 1.2) < 0.02, qPrintable(QString::number(fastest[1] / fastest[0])));
    }

    void splitWakeups_data()
    {
        QTest::addColumn<QList<WakeSample>>("samples");
        QTest::addColumn<qint64>("idle");
        QTest::addColumn<qint64>("poll");
        QTest::addColumn<qint64>("idleMs");
        QTest::addColumn<int>("polls");
        QTest::addColumn<bool>("lost");

        QTest::newRow("no poll: all idle")
            << QList<WakeSample>{sample(0, 5, {{u"main"_s, 10}}), sample(1000, 5, {{u"main"_s, 11}}),
                                 sample(2000, 5, {{u"main"_s, 13}})}
            << qint64(3) << qint64(0) << qint64(2000) << 0 << false;
        // Requests arrive in the second gap: it and the one after are the poll's.
        QTest::newRow("poll with its tail")
            << QList<WakeSample>{sample(0, 0, {{u"main"_s, 0}}), sample(1000, 0, {{u"main"_s, 1}}),
                                 sample(2000, 3, {{u"main"_s, 31}}), sample(3000, 3, {{u"main"_s, 36}}),
                                 sample(4000, 3, {{u"main"_s, 37}})}
            << qint64(2) << qint64(35) << qint64(2000) << 1 << false;
        QTest::newRow("requests over two gaps are one poll")
            << QList<WakeSample>{sample(0, 0, {{u"main"_s, 0}}), sample(1000, 2, {{u"main"_s, 10}}),
                                 sample(2000, 3, {{u"main"_s, 20}}), sample(3000, 3, {{u"main"_s, 21}}),
                                 sample(4000, 3, {{u"main"_s, 22}})}
            << qint64(1) << qint64(21) << qint64(1000) << 1 << false;
        QTest::newRow("two polls") << QList<WakeSample>{sample(0, 0, {{u"main"_s, 0}}),
                                                        sample(1000, 3, {{u"main"_s, 5}}),
                                                        sample(2000, 3, {{u"main"_s, 6}}),
                                                        sample(3000, 3, {{u"main"_s, 7}}),
                                                        sample(4000, 6, {{u"main"_s, 12}})}
                                   << qint64(1) << qint64(11) << qint64(1000) << 2 << false;
        QTest::newRow("a thread that appears counts from zero")
            << QList<WakeSample>{sample(0, 0, {{u"main"_s, 4}}), sample(1000, 0, {{u"main"_s, 4}, {u"worker"_s, 6}})}
            << qint64(6) << qint64(0) << qint64(1000) << 0 << false;
        QTest::newRow("a thread that ends is flagged")
            << QList<WakeSample>{sample(0, 0, {{u"main"_s, 4}, {u"worker"_s, 6}}), sample(1000, 0, {{u"main"_s, 5}})}
            << qint64(1) << qint64(0) << qint64(1000) << 0 << true;
        QTest::newRow("one sample: no gap")
            << QList<WakeSample>{sample(0, 0, {{u"main"_s, 4}})} << qint64(0) << qint64(0) << qint64(0) << 0 << false;
    }
    void splitWakeups()
    {
        QFETCH(QList<WakeSample>, samples);
        QFETCH(qint64, idle);
        QFETCH(qint64, poll);
        QFETCH(qint64, idleMs);
        QFETCH(int, polls);
        QFETCH(bool, lost);
        const WakeSplit split = vesko::bench::splitWakeups(samples);
        QCOMPARE(split.idleSwitches, idle);
        QCOMPARE(split.pollSwitches, poll);
        QCOMPARE(split.idleMs, idleMs);
        QCOMPARE(split.polls, polls);
        QCOMPARE(split.threadsLost, lost);
        qint64 byThread = 0;
        for (qint64 count : split.idleByThread)
            byThread += count;
        QCOMPARE(byThread, idle);
    }

    void perMinute()
    {
        WakeSplit split;
        split.idleSwitches = 5;
        split.idleMs = 30'000;
        QCOMPARE(split.idlePerMinute(), 10.0);
        split.idleMs = 0;
        QCOMPARE(split.idlePerMinute(), 0.0);
    }

    void verdicts_data()
    {
        QTest::addColumn<double>("measured");
        QTest::addColumn<double>("floor");
        QTest::addColumn<QString>("ratio");
        QTest::addColumn<QString>("verdict");
        QTest::newRow("under the goal") << 210.0 << 200.0 << u"1.05x"_s << u"met"_s;
        QTest::newRow("exactly the goal") << 230.0 << 200.0 << u"1.15x"_s << u"met"_s;
        QTest::newRow("over the goal") << 231.0 << 200.0 << u"1.16x"_s << u"MISSED"_s;
        QTest::newRow("no floor: no ratio, no verdict") << 5.0 << 0.0 << u"-"_s << u"info"_s;
    }
    void verdicts()
    {
        QFETCH(double, measured);
        QFETCH(double, floor);
        QFETCH(QString, ratio);
        QFETCH(QString, verdict);
        const Row row = compared(u"x"_s, measured, floor, u"ms"_s, 1, 1.15);
        QCOMPARE(row.ratio, ratio);
        QCOMPARE(row.verdict, verdict);
        QCOMPARE(bounded(u"x"_s, measured, QString(), 0, 210).verdict, measured <= 210 ? u"met"_s : u"MISSED"_s);
    }

    // The live readers, on this very process.
    void residentFollowsTouchedMemory()
    {
        const qint64 before = ownResidentKiB().value_or(-1);
        QVERIFY(before > 0);
        std::vector<char> block(std::size_t{64} * 1024 * 1024, 1); // written, so resident
        QVERIFY(ownResidentKiB().value_or(0) >= before + qint64{48} * 1024);
        QVERIFY(residentKiB(getpid()).value_or(0) >= before + qint64{48} * 1024);
        QVERIFY(privateDirtyKiB(getpid()).value_or(0) >= qint64{48} * 1024);
        QCOMPARE(block.back(), char(1));
        QVERIFY(!residentKiB(-1));
        QVERIFY(!privateDirtyKiB(-1));
    }

    void descriptorsAreCounted()
    {
        const Descriptors before = ownDescriptors();
        QTemporaryDir dir;
        QFile file(dir.filePath(u"open"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(ownDescriptors().total, before.total + 1);
        QCOMPARE(ownDescriptors().sockets, before.sockets);
        int pair[2];
        QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
        QCOMPARE(ownDescriptors().sockets, before.sockets + 2);
        ::close(pair[0]);
        ::close(pair[1]);
        file.close();
        QCOMPARE(ownDescriptors().total, before.total);
        QCOMPARE(ownDescriptors().sockets, before.sockets);
    }

    void threadsAreNamedAndTheirSwitchesCounted()
    {
        constexpr int sleeps = 20;
        std::atomic<qint64> tid = 0;
        std::atomic<bool> go = false;
        std::atomic<bool> slept = false;
        std::atomic<bool> release = false;
        const auto waitFor = [](const std::atomic<bool> &flag) {
            while (!flag)
                QThread::msleep(1);
        };
        QThread *sleeper = QThread::create([&] {
            tid = gettid();
            waitFor(go);
            for (int i = 0; i < sleeps; ++i)
                QThread::msleep(1); // each sleep gives the processor up once
            slept = true;
            waitFor(release); // alive until read
        });
        sleeper->setObjectName(u"probe-sleeper"_s);
        sleeper->start();
        QTRY_VERIFY(tid != 0);
        QTRY_COMPARE(threadCounts(getpid()).value(tid).name, u"probe-sleeper"_s);
        const qint64 before = threadCounts(getpid()).value(tid).voluntarySwitches;
        go = true;
        QTRY_VERIFY(slept);
        const ThreadCounts after = threadCounts(getpid());
        release = true;
        QVERIFY(sleeper->wait(10000));
        delete sleeper;
        QVERIFY(after.value(tid).voluntarySwitches >= before + sleeps);
        QVERIFY(after.contains(getpid())); // the main thread's id is the process id
        QVERIFY(threadCounts(-1).isEmpty());
    }

    // The reuse figure takes the count between two stats readings and removes
    // the later reading's own connection: that is only right if each of the
    // bench's calls opens exactly one connection and control calls are not
    // counted as requests.
    void serviceCallsCountOnce_data()
    {
        QTest::addColumn<QByteArray>("verb");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("calls");
        QTest::addColumn<qint64>("requests");
        QTest::newRow("nothing in between") << QByteArray() << QString() << 0 << qint64(0);
        QTest::newRow("API calls") << QByteArray("GET") << u"v1/me"_s << 3 << qint64(3);
        QTest::newRow("control calls") << QByteArray("GET") << u"_control"_s << 2 << qint64(0);
        QTest::newRow("token granted") << QByteArray("POST") << u"_control/issue-token"_s << 1 << qint64(0);
    }
    void serviceCallsCountOnce()
    {
        QFETCH(QByteArray, verb);
        QFETCH(QString, path);
        QFETCH(int, calls);
        QFETCH(qint64, requests);
        const DevService service;
        QVERIFY2(service.failure().isEmpty(), qPrintable(service.failure()));
        const QString token = service.grantToken();
        QVERIFY(!token.isEmpty());
        const std::optional<DevService::Stats> before = service.stats();
        for (int i = 0; i < calls; ++i)
            QVERIFY(service.call(verb, path, verb == "POST" ? QByteArray("") : QByteArray(), token).status == 200);
        const std::optional<DevService::Stats> after = service.stats();
        QVERIFY(before && after);
        QCOMPARE(after->connections - before->connections - 1, qint64(calls));
        QCOMPARE(after->requests - before->requests, requests);
    }

    // The floors are only fair if they do vesko's job: the same three
    // requests, signed in, on connections they keep, and the answer read.
    void floorsPollLikeVesko_data()
    {
        QTest::addColumn<QString>("binary");
        QTest::newRow("job floor") << QStringLiteral(FLOOR_JOB_BINARY);
        QTest::newRow("headless floor") << QStringLiteral(FLOOR_HEADLESS_BINARY);
    }
    void floorsPollLikeVesko()
    {
        QFETCH(QString, binary);
        const DevService service;
        QVERIFY2(service.failure().isEmpty(), qPrintable(service.failure()));
        const QString token = service.grantToken();
        QVERIFY(!token.isEmpty());
        const std::optional<DevService::Stats> before = service.stats();
        QVERIFY(before);

        QProcess floor;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"VESKO_BENCH_TOKEN"_s, token);
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        floor.setProcessEnvironment(environment);
        floor.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        floor.start(binary, {service.base().toString()});
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += floor.readAllStandardOutput()).contains("polled\n"), 20000);
        const std::optional<DevService::Stats> after = service.stats();
        floor.kill();
        floor.waitForFinished();

        // The summary's MRR: it was signed in and read the answer.
        const QByteArray mrr = output.split('\n').value(0);
        QVERIFY2(mrr.startsWith("mrr ") && mrr.mid(4).toLongLong() > 0, mrr.constData());
        QVERIFY(after);
        QCOMPARE(after->requests - before->requests, 3);
        // At most one connection per request, the stats call's own aside.
        QVERIFY(after->connections - before->connections - 1 <= 3);
        QStringList asked;
        for (const QJsonValue entry : QJsonDocument::fromJson(service.call("GET", u"_control/log"_s).body).array()) {
            const QJsonObject object = entry.toObject();
            if (object.value(u"path").toString().startsWith(u"/v1/"))
                asked << object.value(u"path").toString() + u'?' + object.value(u"query").toString();
        }
        asked.sort();
        QCOMPARE(asked, (QStringList{u"/v1/events?limit=5"_s, u"/v1/me?"_s, u"/v1/summary?project=all"_s}));
    }
};

QTEST_GUILESS_MAIN(BenchProbeTest)
#include "tst_benchprobe.moc"
