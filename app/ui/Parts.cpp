#include "app/ui/Parts.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace vesko {

QString partPath(const QString &fileName)
{
    const QDir dir = QFileInfo(QFileInfo(u"/proc/self/exe"_s).canonicalFilePath()).absoluteDir();
    QString beside = dir.filePath(fileName);
    if (QFileInfo::exists(beside))
        return beside;
    return QDir::cleanPath(dir.filePath(QStringLiteral(VESKO_PART_DIR_FROM_BIN) + u'/' + fileName));
}

} // namespace vesko
