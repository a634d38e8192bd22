// Giving memory back after the views were let go: files mapped since the
// first load are reclaimed, the application's own stay, contents never change.
#include "app/linux/ProcessMemoryTrim.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

using namespace vesko;

namespace {

constexpr qint64 fileSize = 4 << 20;

// Resident KiB of the mapping that holds `address`, from /proc/self/smaps.
qint64 residentKiB(const void *address)
{
    QFile smaps(u"/proc/self/smaps"_s);
    if (!smaps.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    const auto at = quintptr(address);
    bool inside = false;
    for (QByteArray line = smaps.readLine(); !line.isEmpty(); line = smaps.readLine()) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        // A mapping's own line ("start-end perms offset …"), then its "Key: value" lines.
        if (!fields[0].endsWith(':')) {
            const QList<QByteArray> range = fields[0].split('-');
            inside =
                range.size() == 2 && range[0].toULongLong(nullptr, 16) <= at && at < range[1].toULongLong(nullptr, 16);
        } else if (inside && fields[0] == "Rss:") {
            return fields.value(1).toLongLong();
        }
    }
    return -1;
}

// A file of random bytes written through to the disk (dirty pages cannot be
// reclaimed at once), mapped and read in whole.
struct MappedFile
{
    // In the build tree, not on a tmpfs, whose pages only swap could take.
    QTemporaryDir dir{QDir::current().filePath(u"memorytrim-XXXXXX"_s)};
    QFile file{dir.filePath(u"mapped"_s)};
    uchar *data = nullptr;
    QByteArray digest;

    bool open()
    {
        QByteArray bytes(fileSize, Qt::Uninitialized);
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), fileSize / 4);
        digest = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
        if (!file.open(QIODevice::ReadWrite) || file.write(bytes) != fileSize || !file.flush()
            || ::fsync(file.handle()) != 0)
            return false;
        data = file.map(0, fileSize);
        return data && read() == digest;
    }
    QByteArray read() const
    {
        return QCryptographicHash::hash(QByteArrayView(data, fileSize), QCryptographicHash::Sha256);
    }
};

} // namespace

class MemoryTrimTest : public QObject
{
    Q_OBJECT

private slots:
    void reclaimsOnlyWhatCameAfter()
    {
        MappedFile own;
        QVERIFY(own.open());
        ProcessMemoryTrim trim;
        trim.beforeFirstLoad();
        MappedFile part;
        QVERIFY(part.open());
        QVERIFY(ProcessMemoryTrim::mappedFiles().contains(QFileInfo(part.file).canonicalFilePath()));
        QCOMPARE(residentKiB(part.data), fileSize / 1024);

        trim.afterRelease();
        QVERIFY2(residentKiB(part.data) < fileSize / 1024 / 4, qPrintable(QString::number(residentKiB(part.data))));
        QCOMPARE(residentKiB(own.data), fileSize / 1024);
        // Read back from the file: the same bytes.
        QCOMPARE(part.read(), part.digest);
        QCOMPARE(own.read(), own.digest);
    }

    void aLaterLoadKeepsTheFirstSnapshot()
    {
        ProcessMemoryTrim trim;
        trim.beforeFirstLoad();
        MappedFile part;
        QVERIFY(part.open());
        trim.beforeFirstLoad(); // the second load after a release: still the part's file
        trim.afterRelease();
        QVERIFY(residentKiB(part.data) < fileSize / 1024 / 4);
    }
};

QTEST_GUILESS_MAIN(MemoryTrimTest)
#include "tst_memorytrim.moc"
