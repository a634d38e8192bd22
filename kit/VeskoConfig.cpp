#include "kit/VeskoConfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

// The build has no production service of its own: unless the build names
// one, Vesko talks to the bundled demo service on this machine.
#ifndef VESKO_DEFAULT_API_URL
#define VESKO_DEFAULT_API_URL "http://127.0.0.1:47301"
#endif
#ifndef VESKO_DEFAULT_WEB_URL
#define VESKO_DEFAULT_WEB_URL "http://127.0.0.1:47301"
#endif

constexpr qint64 maxInfoFileBytes = qint64{64} * 1024;

QUrl urlFor(const QJsonObject &info, QLatin1StringView key, const QUrl &fallback)
{
    const QJsonValue value = info.value(key);
    if (!value.isString())
        return fallback;
    const QUrl url(value.toString(), QUrl::StrictMode);
    return url.isValid() && !url.isEmpty() ? url : fallback;
}

} // namespace

QUrl VeskoConfig::defaultAPIURL()
{
    return QUrl(QStringLiteral(VESKO_DEFAULT_API_URL));
}

QUrl VeskoConfig::defaultWebURL()
{
    return QUrl(QStringLiteral(VESKO_DEFAULT_WEB_URL));
}

VeskoConfig VeskoConfig::fromInfo(const QJsonObject &info)
{
    return VeskoConfig(urlFor(info, "VeskoAPIURL"_L1, defaultAPIURL()),
                       urlFor(info, "VeskoWebURL"_L1, defaultWebURL()));
}

QJsonObject VeskoConfig::readInfoFile(const QString &path)
{
    if (path.isEmpty())
        return {};
    // Opening a FIFO for reading blocks until someone writes to it, and the
    // path may come from the environment: open without waiting, then take
    // regular files only (no FIFOs, devices or directories).
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return {};
    QFile file;
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > maxInfoFileBytes
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    // The cap holds even for a file that grows while it is read.
    const QByteArray content = file.read(maxInfoFileBytes + 1);
    if (content.size() > maxInfoFileBytes)
        return {};
    return QJsonDocument::fromJson(content).object();
}

QString VeskoConfig::infoFilePath()
{
    QString fromEnvironment = qEnvironmentVariable("VESKO_INFO_FILE");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    if (!QCoreApplication::instance())
        return {};
    const QDir binDir(QCoreApplication::applicationDirPath());
    for (const QString &candidate :
         {binDir.filePath(u"vesko-info.json"_s), binDir.filePath(u"../share/vesko/vesko-info.json"_s)}) {
        if (QFileInfo(candidate).isFile())
            return QDir::cleanPath(candidate);
    }
    return {};
}

QUrl VeskoConfig::connectURL(const QString &challenge, const QString &platform, const QString &name) const
{
    QUrl url = appendingPath(m_webURL, u"connect-app");
    url.setQuery(encodedQuery({{u"challenge"_s, challenge}, {u"platform"_s, platform}, {u"name"_s, name}}),
                 QUrl::StrictMode);
    return url;
}

QUrl appendingPath(const QUrl &base, QStringView path)
{
    QUrl url = base;
    QString joined = base.path(QUrl::FullyEncoded);
    while (joined.endsWith(u'/'))
        joined.chop(1);
    joined += u'/';
    joined += path;
    url.setPath(joined, QUrl::StrictMode);
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}

QString encodedQuery(std::initializer_list<std::pair<QString, QString>> items)
{
    QString query;
    for (const auto &[name, value] : items) {
        if (!query.isEmpty())
            query += u'&';
        query += QString::fromLatin1(QUrl::toPercentEncoding(name)) + u'='
                 + QString::fromLatin1(QUrl::toPercentEncoding(value));
    }
    return query;
}

} // namespace vesko
