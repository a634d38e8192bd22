#pragma once

#include <QJsonObject>
#include <QString>
#include <QUrl>

namespace vesko {

// Where the service lives: the API base URL and the web base URL (sign-in
// page, dashboard). Read once at start-up from the info file.
class VeskoConfig
{
public:
    VeskoConfig(QUrl apiURL, QUrl webURL)
        : m_apiURL(std::move(apiURL)),
          m_webURL(std::move(webURL))
    {}

    const QUrl &apiURL() const { return m_apiURL; }
    const QUrl &webURL() const { return m_webURL; }

    static QUrl defaultAPIURL();
    static QUrl defaultWebURL();

    // Key by key: "VeskoAPIURL" and "VeskoWebURL" when present, a string and
    // a URL; the built-in default otherwise. The value is used as it is.
    static VeskoConfig fromInfo(const QJsonObject &info);

    // The info file's object; empty when the file is missing, unreadable, not
    // a regular file, not JSON or not an object (so both defaults apply).
    // Never waits: a FIFO at `path` is refused, not opened for reading.
    static QJsonObject readInfoFile(const QString &path);

    // $VESKO_INFO_FILE when set; else vesko-info.json beside the executable;
    // else ../share/vesko/vesko-info.json from it (the installed layout).
    // Empty when none exists.
    static QString infoFilePath();

    static VeskoConfig fromInstalledInfo() { return fromInfo(readInfoFile(infoFilePath())); }

    // webURL/connect-app?challenge=…&platform=…&name=…, each value percent-encoded.
    QUrl connectURL(const QString &challenge, const QString &platform, const QString &name) const;

    friend bool operator==(const VeskoConfig &, const VeskoConfig &) = default;

private:
    QUrl m_apiURL;
    QUrl m_webURL;
};

// `base` with `path` appended after exactly one "/", the base's own path kept
// ("https://h/api" + "v1/me" -> "https://h/api/v1/me"). Query and fragment dropped.
QUrl appendingPath(const QUrl &base, QStringView path);

// A query string of name=value pairs in the given order, every character
// outside the unreserved set percent-encoded (so "+" and "&" survive).
QString encodedQuery(std::initializer_list<std::pair<QString, QString>> items);

} // namespace vesko
