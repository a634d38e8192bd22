#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <functional>
#include <optional>

// What the benchmarks read of a running process, from /proc, and the little
// statistics they need.
namespace vesko::bench {

// A whole-number field of a /proc status text: "VmRSS:\t  5120 kB" gives 5120.
std::optional<qint64> statusField(const QByteArray &status, const QByteArray &name);

// The resident set of a process in KiB; nothing once it is gone.
std::optional<qint64> residentKiB(qint64 pid);
std::optional<qint64> ownResidentKiB();
// The pages only this process has written to (heap, stacks, relocated data), in KiB.
std::optional<qint64> privateDirtyKiB(qint64 pid);
// The resident set with each shared page split among the processes mapping it, in KiB.
std::optional<qint64> proportionalKiB(qint64 pid);
// A /proc smaps text's resident KiB per mapped file (by file name: every
// mapping of a library is summed), "[heap]" and the like by their names, and
// nameless mappings as "[anon]".
QMap<QString, qint64> residentByMapping(const QByteArray &smaps);
QMap<QString, qint64> residentByMapping(qint64 pid);
// Entries of /proc/self/fd (the one used to list them included), and how
// many of them are sockets.
struct Descriptors
{
    int total = 0;
    int sockets = 0;
};
Descriptors ownDescriptors();

struct ThreadCount
{
    QString name; // comm: the thread's name, at most 15 characters
    qint64 voluntarySwitches = 0;
};
// Per thread id; empty once the process is gone.
using ThreadCounts = QMap<qint64, ThreadCount>;
ThreadCounts threadCounts(qint64 pid);

double median(QList<double> values);

// Takes `rounds` readings of each measurement, interleaved, the order
// reversed every other round so that a drift in the machine's load weighs on
// all of them alike, and gives each one's fastest reading: other work on the
// machine only ever adds time.
QList<double> fastestInterleaved(int rounds, const QList<std::function<double()>> &measurements);

// One reading of the wake-up window: the threads' counters and how many API
// requests the service has seen so far.
struct WakeSample
{
    qint64 atMs = 0;
    ThreadCounts threads;
    qint64 serviceRequests = 0;
};

// The window's voluntary context switches, split into the stretches a poll
// was in (the sample gaps in which requests arrived, and `tail` gaps after
// each, where replies are handled) and the idle rest between polls.
struct WakeSplit
{
    qint64 pollSwitches = 0;
    qint64 idleSwitches = 0;
    qint64 pollMs = 0;
    qint64 idleMs = 0;
    int polls = 0; // gaps in which requests started arriving
    QMap<QString, qint64> idleByThread;
    QMap<QString, qint64> pollByThread;
    bool threadsLost = false; // a thread ended inside the window: its last switches are missing

    double idlePerMinute() const { return idleMs > 0 ? idleSwitches * 60000.0 / idleMs : 0; }
};
WakeSplit splitWakeups(const QList<WakeSample> &samples, int tail = 1);

} // namespace vesko::bench
