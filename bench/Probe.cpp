#include "bench/Probe.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;

namespace vesko::bench {

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    // /proc files report size 0: read until the end rather than by size.
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Switches a thread made between two readings. A thread that appeared made
// all of its switches inside the gap.
qint64 switchesBetween(const ThreadCounts &before, qint64 tid, const ThreadCount &after)
{
    const auto it = before.find(tid);
    return after.voluntarySwitches - (it == before.end() ? 0 : it->voluntarySwitches);
}

} // namespace

std::optional<qint64> statusField(const QByteArray &status, const QByteArray &name)
{
    for (const QByteArray &line : status.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0 || line.left(colon) != name)
            continue;
        QByteArray value = line.mid(colon + 1).trimmed();
        if (value.endsWith(" kB"))
            value.chop(3);
        bool ok = false;
        const qint64 number = value.trimmed().toLongLong(&ok);
        return ok ? std::optional(number) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<qint64> residentKiB(qint64 pid)
{
    return statusField(readAll(u"/proc/%1/status"_s.arg(pid)), "VmRSS");
}

std::optional<qint64> privateDirtyKiB(qint64 pid)
{
    return statusField(readAll(u"/proc/%1/smaps_rollup"_s.arg(pid)), "Private_Dirty");
}

std::optional<qint64> proportionalKiB(qint64 pid)
{
    return statusField(readAll(u"/proc/%1/smaps_rollup"_s.arg(pid)), "Pss");
}

QMap<QString, qint64> residentByMapping(const QByteArray &smaps)
{
    QMap<QString, qint64> resident;
    QString current;
    for (const QByteArray &line : smaps.split('\n')) {
        if (line.isEmpty())
            continue;
        // A mapping's first line starts with its address range in lower-case
        // hex; its fields that follow start with a capital.
        if ((line[0] >= '0' && line[0] <= '9') || (line[0] >= 'a' && line[0] <= 'f')) {
            const QList<QByteArray> parts = line.simplified().split(' ');
            const QString path = parts.size() > 5 ? QString::fromUtf8(parts.mid(5).join(' ')) : QString();
            current = path.isEmpty() ? u"[anon]"_s : path.section(u'/', -1);
        } else if (line.startsWith("Rss:") && !current.isEmpty()) {
            resident[current] += statusField(line, "Rss").value_or(0);
        }
    }
    return resident;
}

QMap<QString, qint64> residentByMapping(qint64 pid)
{
    return residentByMapping(readAll(u"/proc/%1/smaps"_s.arg(pid)));
}

std::optional<qint64> ownResidentKiB()
{
    return statusField(readAll(u"/proc/self/status"_s), "VmRSS");
}

Descriptors ownDescriptors()
{
    const QDir fds(u"/proc/self/fd"_s);
    Descriptors count;
    for (const QString &fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        ++count.total;
        if (QFile::symLinkTarget(fds.filePath(fd)).contains(u"socket:["))
            ++count.sockets;
    }
    return count;
}

ThreadCounts threadCounts(qint64 pid)
{
    ThreadCounts counts;
    const QString tasks = u"/proc/%1/task"_s.arg(pid);
    for (const QString &entry : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool ok = false;
        const qint64 tid = entry.toLongLong(&ok);
        if (!ok)
            continue;
        const std::optional<qint64> voluntary =
            statusField(readAll(tasks + u'/' + entry + u"/status"_s), "voluntary_ctxt_switches");
        if (!voluntary)
            continue; // ended while being read
        counts.insert(tid, {QString::fromUtf8(readAll(tasks + u'/' + entry + u"/comm"_s).trimmed()), *voluntary});
    }
    return counts;
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

QList<double> fastestInterleaved(int rounds, const QList<std::function<double()>> &measurements)
{
    QList<double> fastest(measurements.size(), std::numeric_limits<double>::infinity());
    for (int round = 0; round < rounds; ++round) {
        for (qsizetype k = 0; k < measurements.size(); ++k) {
            const qsizetype i = round % 2 ? measurements.size() - 1 - k : k;
            fastest[i] = std::min(fastest[i], measurements[i]());
        }
    }
    return fastest;
}

WakeSplit splitWakeups(const QList<WakeSample> &samples, int tail)
{
    WakeSplit split;
    int pollLeft = 0;
    for (qsizetype i = 1; i < samples.size(); ++i) {
        const WakeSample &before = samples[i - 1];
        const WakeSample &after = samples[i];
        if (after.serviceRequests > before.serviceRequests) {
            // A poll that goes on over several gaps is still one poll.
            if (pollLeft == 0)
                ++split.polls;
            pollLeft = 1 + tail;
        }
        const bool poll = pollLeft > 0;
        if (pollLeft > 0)
            --pollLeft;

        (poll ? split.pollMs : split.idleMs) += after.atMs - before.atMs;
        for (auto it = after.threads.begin(); it != after.threads.end(); ++it) {
            const qint64 switches = switchesBetween(before.threads, it.key(), it.value());
            (poll ? split.pollSwitches : split.idleSwitches) += switches;
            (poll ? split.pollByThread : split.idleByThread)[it->name] += switches;
        }
        for (auto it = before.threads.begin(); it != before.threads.end(); ++it)
            split.threadsLost = split.threadsLost || !after.threads.contains(it.key());
    }
    return split;
}

} // namespace vesko::bench
