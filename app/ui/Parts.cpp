#include "Parts.h"

#include <QDir>
#include <QFileInfo>

namespace vesko {

QString partPath(const QString &fileName)
{
    const QDir dir = QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absoluteDir();
    QString beside = dir.filePath(fileName);
    if (QFileInfo::exists(beside))
        return beside;
    return QDir::cleanPath(dir.filePath(QStringLiteral(VESKO_PART_DIR_FROM_BIN) + u'/' + fileName));
}

} // namespace vesko
