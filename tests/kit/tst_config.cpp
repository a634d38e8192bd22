// Where the service lives: the info file, its fallbacks, and the connect URL.
// (No raw string literals here: moc reads a "//" inside one as a comment.)
#include "kit/VeskoConfig.h"

#include <QDir>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

using vesko::VeskoConfig;

class ConfigTest : public QObject
{
    Q_OBJECT

private slots:
    void fromInfo_data()
    {
        QTest::addColumn<QByteArray>("info");
        QTest::addColumn<QString>("api");
        QTest::addColumn<QString>("web");
        const QString defaultAPI = VeskoConfig::defaultAPIURL().toString();
        const QString defaultWeb = VeskoConfig::defaultWebURL().toString();
        QTest::newRow("no keys") << QByteArray("{}") << defaultAPI << defaultWeb;
        QTest::newRow("both") << QByteArray(
            "{\"VeskoAPIURL\":\"https://api.example.com\",\"VeskoWebURL\":\"https://example.com/\"}")
                              << "https://api.example.com"
                              << "https://example.com/";
        QTest::newRow("api a number") << QByteArray("{\"VeskoAPIURL\":42,\"VeskoWebURL\":\"https://example.com\"}")
                                      << defaultAPI << "https://example.com";
        QTest::newRow("api a boolean") << QByteArray("{\"VeskoAPIURL\":true}") << defaultAPI << defaultWeb;
        QTest::newRow("web empty") << QByteArray("{\"VeskoAPIURL\":\"https://api.example.com\",\"VeskoWebURL\":\"\"}")
                                   << "https://api.example.com" << defaultWeb;
        QTest::newRow("web null") << QByteArray("{\"VeskoWebURL\":null}") << defaultAPI << defaultWeb;
        QTest::newRow("api not a URL") << QByteArray("{\"VeskoAPIURL\":\"http://exa mple.com\"}") << defaultAPI
                                       << defaultWeb;
        QTest::newRow("kept as written") << QByteArray("{\"VeskoAPIURL\":\"http://127.0.0.1:9/base/\"}")
                                         << "http://127.0.0.1:9/base/" << defaultWeb;
        QTest::newRow("other keys ignored")
            << QByteArray("{\"vesko_api_url\":\"https://x.example\"}") << defaultAPI << defaultWeb;
    }
    void fromInfo()
    {
        QFETCH(QByteArray, info);
        QFETCH(QString, api);
        QFETCH(QString, web);
        const VeskoConfig config = VeskoConfig::fromInfo(QJsonDocument::fromJson(info).object());
        QCOMPARE(config.apiURL().toString(), api);
        QCOMPARE(config.webURL().toString(), web);
    }

    void infoFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<QString>("api");
        QTest::newRow("valid") << QByteArray("{\"VeskoAPIURL\":\"https://api.example.com\"}") << true
                               << "https://api.example.com";
        QTest::newRow("malformed") << QByteArray("{\"VeskoAPIURL\":\"https://api.example.com\"") << true << "";
        QTest::newRow("an array") << QByteArray("[\"https://api.example.com\"]") << true << "";
        QTest::newRow("empty") << QByteArray() << true << "";
        const QByteArray padding(1 << 20, 'x');
        QTest::newRow("huge") << "{\"VeskoAPIURL\":\"https://api.example.com\",\"pad\":\"" + padding + "\"}" << true
                              << "";
        QTest::newRow("unreadable") << QByteArray("{\"VeskoAPIURL\":\"https://api.example.com\"}") << false << "";
        // Not regular files; the FIFO would block a reader that waits for a writer.
        QTest::newRow("a FIFO") << QByteArray("<fifo>") << true << "";
        QTest::newRow("a folder") << QByteArray("<dir>") << true << "";
    }
    void infoFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, readable);
        QFETCH(QString, api);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"vesko-info.json"_s);
        const QByteArray encoded = QFile::encodeName(path);
        if (content == "<fifo>") {
            QCOMPARE(::mkfifo(encoded.constData(), 0600), 0);
        } else if (content == "<dir>") {
            QVERIFY(QDir().mkdir(path));
        } else if (readable) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        // Read on a thread of its own, so that a reader stuck on the FIFO fails
        // this row instead of hanging the whole test.
        auto reading = std::async(std::launch::async, [path] { return VeskoConfig::readInfoFile(path); });
        const bool returned = reading.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
        if (!returned)
            ::close(::open(encoded.constData(), O_WRONLY | O_NONBLOCK)); // a writer lets it go
        QVERIFY2(returned, "blocked reading the info file");
        const VeskoConfig config = VeskoConfig::fromInfo(reading.get());
        QCOMPARE(config.apiURL().toString(), api.isEmpty() ? VeskoConfig::defaultAPIURL().toString() : api);
        QCOMPARE(config.webURL(), VeskoConfig::defaultWebURL());
    }

    void infoFileFromEnvironment()
    {
        qputenv("VESKO_INFO_FILE", "/somewhere/else.json");
        QCOMPARE(VeskoConfig::infoFilePath(), u"/somewhere/else.json"_s);
        qunsetenv("VESKO_INFO_FILE");
    }

    void connectURL_data()
    {
        QTest::addColumn<QString>("web");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("url");
        QTest::newRow("no slash") << "https://vesko.example"
                                  << "ada-laptop"
                                  << "https://vesko.example/connect-app?challenge=ch_1&platform=linux&name=ada-laptop";
        QTest::newRow("slash") << "https://vesko.example/"
                               << "ada-laptop"
                               << "https://vesko.example/connect-app?challenge=ch_1&platform=linux&name=ada-laptop";
        QTest::newRow("base path kept") << "https://vesko.example/web"
                                        << "x"
                                        << "https://vesko.example/web/connect-app?challenge=ch_1&platform=linux&name=x";
        QTest::newRow("spaces and delimiters") << "https://vesko.example"
                                               << "Ada's Laptop & Co+1=2"
                                               << "https://vesko.example/connect-app?challenge=ch_1&platform=linux"
                                                  "&name=Ada%27s%20Laptop%20%26%20Co%2B1%3D2";
        QTest::newRow("non-ASCII") << "https://vesko.example" << QString::fromUtf8("J\xc3\xb6rg")
                                   << "https://vesko.example/"
                                      "connect-app?challenge=ch_1&platform=linux&name=J%C3%B6rg";
    }
    void connectURL()
    {
        QFETCH(QString, web);
        QFETCH(QString, name);
        QFETCH(QString, url);
        const VeskoConfig config(QUrl(u"https://api.vesko.example"_s), QUrl(web));
        const QUrl connect = config.connectURL(u"ch_1"_s, u"linux"_s, name);
        QCOMPARE(connect.toString(QUrl::FullyEncoded), url);
        // One value for the name, whatever it holds.
        QCOMPARE(QUrlQuery(connect).queryItemValue(u"name"_s, QUrl::FullyDecoded), name);
    }
};

QTEST_GUILESS_MAIN(ConfigTest)
#include "tst_config.moc"
