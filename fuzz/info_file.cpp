// The info file: whoever sets $VESKO_INFO_FILE chooses its bytes. Each URL
// must come out usable (the key's own URL, or the built-in default), one key
// never spoils the other, a file beyond the cap is not read at all, and the
// connect page is reachable under whatever web URL results.
#include "fuzz/FuzzCheck.h"
#include "kit/VeskoConfig.h"

#include <QJsonDocument>

#include <sys/mman.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

using namespace vesko;

namespace {

// The reader's size cap.
constexpr qsizetype cap = 64 * 1024;

const QLatin1StringView apiKey("VeskoAPIURL");
const QLatin1StringView webKey("VeskoWebURL");

// The reader takes a path, so the bytes go into a file: a memory-backed one,
// as rewriting a disk file thousands of times a second waits on the disk.
QJsonObject readAsFile(const QByteArray &bytes)
{
    static const int fd = memfd_create("vesko-info.json", 0);
    static const QString path = u"/proc/self/fd/%1"_s.arg(fd);
    FUZZ_CHECK(fd >= 0 && ftruncate(fd, 0) == 0);
    FUZZ_CHECK(pwrite(fd, bytes.constData(), size_t(bytes.size()), 0) == bytes.size());
    return VeskoConfig::readInfoFile(path);
}

void checkURL(const QJsonObject &info, QLatin1StringView key, const QUrl &url, const QUrl &fallback)
{
    FUZZ_CHECK(url.isValid() && !url.isEmpty());
    const QJsonValue value = info.value(key);
    if (!value.isString())
        FUZZ_CHECK(url == fallback);
    else
        FUZZ_CHECK(url == fallback || url == QUrl(value.toString(), QUrl::StrictMode));
    // Key by key: the same value alone gives the same URL.
    QJsonObject alone;
    if (info.contains(key))
        alone.insert(key, value);
    const VeskoConfig single = VeskoConfig::fromInfo(alone);
    FUZZ_CHECK(url == (key == apiKey ? single.apiURL() : single.webURL()));
}

void checkConnectURL(const VeskoConfig &config, const QString &name)
{
    const QString challenge = u"E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"_s;
    const QString platform = u"linux"_s;
    const QUrl url = config.connectURL(challenge, platform, name);
    FUZZ_CHECK(url.isValid());
    FUZZ_CHECK(url.scheme() == config.webURL().scheme() && url.authority() == config.webURL().authority());
    const QString path = url.path();
    FUZZ_CHECK(path.endsWith(u"/connect-app") && !path.endsWith(u"//connect-app"));
    FUZZ_CHECK(!url.hasFragment());
    // Exactly the three items, in order, each value back as it was given.
    const QList<std::pair<QString, QString>> expected{
        {u"challenge"_s, challenge}, {u"platform"_s, platform}, {u"name"_s, name}};
    // Decoded by hand: QUrlQuery turns noncharacters (U+FFFFF, say) into
    // U+FFFD when decoding, though the URL carries them correctly.
    QList<std::pair<QString, QString>> items;
    for (const QString &item : url.query(QUrl::FullyEncoded).split(u'&')) {
        const auto decoded = [](QStringView part) {
            return QString::fromUtf8(QByteArray::fromPercentEncoding(part.toLatin1()));
        };
        const qsizetype equals = item.indexOf(u'=');
        FUZZ_CHECK(equals > 0);
        items.append({decoded(QStringView(item).first(equals)), decoded(QStringView(item).sliced(equals + 1))});
    }
    FUZZ_CHECK(items == expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QJsonObject info = readAsFile(bytes);
    FUZZ_CHECK(info == (bytes.size() <= cap ? QJsonDocument::fromJson(bytes).object() : QJsonObject()));

    const VeskoConfig config = VeskoConfig::fromInfo(info);
    checkURL(info, apiKey, config.apiURL(), VeskoConfig::defaultAPIURL());
    checkURL(info, webKey, config.webURL(), VeskoConfig::defaultWebURL());
    checkConnectURL(config, QString::fromUtf8(bytes.first(std::min<qsizetype>(bytes.size(), 200))));

    if (!info.isEmpty() && bytes.size() <= cap) {
        // Padded to the cap it is still read; one byte more and nothing is.
        QByteArray padded = bytes + QByteArray(cap - bytes.size(), ' ');
        FUZZ_CHECK(readAsFile(padded) == info);
        padded += ' ';
        FUZZ_CHECK(readAsFile(padded).isEmpty());
    }
    return 0;
}
