#include "app/linux/ProcessMemoryTrim.h"

#include <QFile>

#include <malloc.h>
#include <sys/mman.h>

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

struct Mapping
{
    quintptr start = 0;
    quintptr end = 0;
    QString path;
};

// The lines of /proc/self/maps that name a file.
QList<Mapping> fileMappings()
{
    QList<Mapping> mappings;
    QFile maps(u"/proc/self/maps"_s);
    if (!maps.open(QIODevice::ReadOnly | QIODevice::Text))
        return mappings;
    // address perms offset dev inode path
    for (QByteArray line = maps.readLine(); !line.isEmpty(); line = maps.readLine()) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || !fields[5].startsWith('/'))
            continue;
        const QList<QByteArray> range = fields[0].split('-');
        bool startOk = false, endOk = false;
        const Mapping mapping{.start = quintptr(range.value(0).toULongLong(&startOk, 16)),
                              .end = quintptr(range.value(1).toULongLong(&endOk, 16)),
                              .path = QString::fromLocal8Bit(fields.mid(5).join(' '))};
        if (startOk && endOk && mapping.end > mapping.start)
            mappings << mapping;
    }
    return mappings;
}

} // namespace

QSet<QString> ProcessMemoryTrim::mappedFiles()
{
    QSet<QString> files;
    for (const Mapping &mapping : fileMappings())
        files.insert(mapping.path);
    return files;
}

qint64 ProcessMemoryTrim::pageOutFilesOutside(const QSet<QString> &keep)
{
    qint64 advised = 0;
    for (const Mapping &mapping : fileMappings()) {
        if (keep.contains(mapping.path))
            continue;
        // The address comes from /proc/self/maps: an integer is all there is.
        // NOLINTNEXTLINE(performance-no-int-to-ptr)
        if (madvise(reinterpret_cast<void *>(mapping.start), mapping.end - mapping.start, MADV_PAGEOUT) == 0)
            advised += qint64(mapping.end - mapping.start);
    }
    return advised;
}

void ProcessMemoryTrim::beforeFirstLoad()
{
    if (m_known)
        return;
    m_own = mappedFiles();
    m_known = true;
}

void ProcessMemoryTrim::afterRelease()
{
    malloc_trim(0);
    if (m_known)
        pageOutFilesOutside(m_own);
}

} // namespace vesko
