// `vesko status` as a status bar runs it: the real binary against the demo
// service, with the token in the throwaway session's keyring. What it prints,
// in both formats, and how it exits in each case a script must tell apart.
#include "DevServiceProcess.h"

#include "DataEnvelope.h"
#include "Money.h"
#include "StatusCommand.h"
#include "Summary.h"
#include "TokenStore.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace vesko;

namespace {

struct Run
{
    int exitCode = -1;
    QString out, err;
};

QJsonObject post(const QUrl &url, const QJsonObject &body = {})
{
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    QNetworkReply *reply = network.post(request, QJsonDocument(body).toJson());
    QSignalSpy done(reply, &QNetworkReply::finished);
    done.wait(5000);
    reply->deleteLater();
    return QJsonDocument::fromJson(reply->readAll()).object();
}

} // namespace

class StatusTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<DevServiceProcess> m_service;
    QString m_info, m_closedInfo;

    QString issueToken() { return post(m_service->url(QStringLiteral("_control/issue-token"))).value("data").toObject().value("token").toString(); }

    Run status(const QStringList &arguments, const QString &info)
    {
        QProcess vesko;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VESKO_INFO_FILE"), info);
        vesko.setProcessEnvironment(environment);
        vesko.start(QStringLiteral(VESKO_BINARY), QStringList{QStringLiteral("status")} + arguments);
        if (!vesko.waitForFinished(30000))
            vesko.kill();
        return {vesko.exitStatus() == QProcess::NormalExit ? vesko.exitCode() : -1,
                QString::fromUtf8(vesko.readAllStandardOutput()), QString::fromUtf8(vesko.readAllStandardError())};
    }

    QString writeInfo(const QString &name, const QString &base)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(QJsonDocument(QJsonObject{{"VeskoAPIURL", base}, {"VeskoWebURL", base}}).toJson());
        return path;
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("VESKO_TEST_KEYRING_PASSWORD"))
            QSKIP("needs the throwaway session of scripts/with-test-session");
        m_service = std::make_unique<DevServiceProcess>();
        QVERIFY2(m_service->failure().isEmpty(), qPrintable(m_service->failure()));
        m_info = writeInfo(QStringLiteral("info.json"), m_service->url(QString()).toString());
        // A port nobody listens on: bound and closed again.
        m_closedInfo = writeInfo(QStringLiteral("closed.json"), QStringLiteral("http://127.0.0.1:9/"));
    }
    void init() { post(m_service->url(QStringLiteral("_control/reset"))); }

    void exits_data()
    {
        QTest::addColumn<QString>("token"); // "issued", "bogus" or none
        QTest::addColumn<QString>("fault"); // JSON for /_control, or empty
        QTest::addColumn<bool>("closedPort");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("stderrHas");
        QTest::newRow("signed in") << "issued" << QString() << false << int(statusOk) << QString();
        QTest::newRow("never signed in") << QString() << QString() << false << int(statusSignedOut) << "not signed in";
        QTest::newRow("token refused") << "bogus" << QString() << false << int(statusSignedOut) << "not signed in";
        QTest::newRow("service down") << "issued" << QString() << true << int(statusOffline) << "cannot be reached";
        QTest::newRow("server error") << "issued" << R"({"summary":{"status":500}})" << false << int(statusFailed)
                                      << "Something went wrong";
    }
    void exits()
    {
        QFETCH(QString, token);
        QFETCH(QString, fault);
        QFETCH(bool, closedPort);
        QFETCH(int, exitCode);
        QFETCH(QString, stderrHas);
        TokenStore::remove();
        if (token == u"issued")
            TokenStore::save(issueToken());
        else if (token == u"bogus")
            TokenStore::save(QStringLiteral("tok_not_issued"));
        if (!fault.isEmpty())
            post(m_service->url(QStringLiteral("_control")), QJsonDocument::fromJson(fault.toUtf8()).object());

        const Run run = status({}, closedPort ? m_closedInfo : m_info);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(stderrHas), qPrintable(run.err));
        QCOMPARE(run.out.isEmpty(), exitCode != statusOk);
        if (token == u"bogus")
            QVERIFY(!TokenStore::load()); // refused means signed out, as in the tray
    }

    void formats()
    {
        TokenStore::save(issueToken());
        const Run plain = status({QStringLiteral("--format"), QStringLiteral("plain")}, m_info);
        const Run json = status({QStringLiteral("--format=json")}, m_info);
        QCOMPARE(plain.exitCode, 0);
        QCOMPARE(json.exitCode, 0);
        QVERIFY(plain.out.endsWith(u'\n'));
        const QString figure = plain.out.trimmed();
        QVERIFY(figure.startsWith(u'$'));
        const QJsonObject line = QJsonDocument::fromJson(json.out.toUtf8()).object();
        QCOMPARE(json.out.count(u'\n'), 1);
        // The figures drift by the minute; both runs fall in the same one almost always.
        QCOMPARE(line.value("text").toString(), figure);
        QCOMPARE(line.value("class").toString(), QStringLiteral("ready"));
        QVERIFY(line.value("tooltip").toString().startsWith(QStringLiteral("Vesko, MRR ") + figure + "\nUpdated at "));

        // The privacy switch, set in the tray, holds here too.
        QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("vesko"), QStringLiteral("vesko"));
        settings.setValue("VeskoHideAmounts", true);
        settings.sync();
        const Run hidden = status({QStringLiteral("--format=json")}, m_info);
        settings.remove("VeskoHideAmounts");
        settings.sync();
        const QJsonObject masked = QJsonDocument::fromJson(hidden.out.toUtf8()).object();
        QCOMPARE(masked.value("text").toString(), QStringLiteral("$\u2022\u2022\u2022"));
        QCOMPARE(masked.value("tooltip").toString().section(u'\n', 0, 0), QStringLiteral("Vesko, MRR $\u2022\u2022\u2022"));
    }

    void watchPrintsAsItGoes()
    {
        TokenStore::save(issueToken());
        QProcess vesko;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VESKO_INFO_FILE"), m_info);
        vesko.setProcessEnvironment(environment);
        vesko.start(QStringLiteral(VESKO_BINARY), {QStringLiteral("status"), QStringLiteral("--watch"),
                                                    QStringLiteral("--format"), QStringLiteral("json")});
        QStringList classes;
        QTRY_VERIFY_WITH_TIMEOUT([&] {
            while (vesko.canReadLine())
                classes << QJsonDocument::fromJson(vesko.readLine()).object().value("class").toString();
            return classes.contains(QStringLiteral("ready"));
        }(), 10000);
        QCOMPARE(classes, (QStringList{"loading", "ready"}));
        QCOMPARE(vesko.state(), QProcess::Running); // it keeps watching
        vesko.kill();
        vesko.waitForFinished();
    }

    void options_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("json");
        QTest::addColumn<bool>("watch");
        QTest::newRow("none") << QStringList{} << true << false << false;
        QTest::newRow("json, watching") << QStringList{"--watch", "--format", "json"} << true << true << true;
        QTest::newRow("joined") << QStringList{"--format=plain"} << true << false << false;
        QTest::newRow("unknown format") << QStringList{"--format", "xml"} << false << false << false;
        QTest::newRow("format without value") << QStringList{"--format"} << false << false << false;
        QTest::newRow("stray argument") << QStringList{"now"} << false << false << false;
    }
    void options()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, valid);
        QFETCH(bool, json);
        QFETCH(bool, watch);
        const auto parsed = parseStatusOptions(arguments);
        QCOMPARE(std::holds_alternative<StatusOptions>(parsed), valid);
        if (valid)
            QCOMPARE(std::get<StatusOptions>(parsed),
                     (StatusOptions{json ? StatusFormat::json : StatusFormat::plain, watch}));
        else
            QCOMPARE(status(arguments, m_info).exitCode, int(statusUsage));
    }

    void cleanupTestCase() { TokenStore::remove(); }
};

QTEST_GUILESS_MAIN(StatusTest)
#include "tst_status.moc"
