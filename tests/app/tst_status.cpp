// `vesko status` as a status bar runs it: the real binary against the demo
// service, with the token in the throwaway session's keyring. What it prints,
// in each format, and how it exits in each case a script must tell apart;
// and how it takes the figure from a running Vesko instead of the service.
#include "app/cli/StatusCommand.h"
#include "app/core/AppModel.h"
#include "app/linux/KeyringSecretStore.h"
#include "app/linux/SingleInstance.h"
#include "app/ui/Snout.h"
#include "kit/DataEnvelope.h"
#include "kit/Money.h"
#include "kit/Summary.h"
#include "tests/support/DevServiceProcess.h"
#include "tests/support/Fakes.h"

#include <QImage>
#include <QImageReader>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace vesko;

namespace {

// The keyring the running Vesko reads, from behind its back.
KeyringSecretStore keyring;

struct Run
{
    int exitCode = -1;
    QString out, err;
};

QJsonObject post(const QUrl &url, const QJsonObject &body = {})
{
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    request.setRawHeader(DevServiceProcess::controlHeader, DevServiceProcess::controlSecret());
    QNetworkReply *reply = network.post(request, QJsonDocument(body).toJson());
    QSignalSpy done(reply, &QNetworkReply::finished);
    done.wait(5000);
    reply->deleteLater();
    return QJsonDocument::fromJson(reply->readAll()).object();
}

QJsonObject get(const QUrl &url)
{
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setRawHeader(DevServiceProcess::controlHeader, DevServiceProcess::controlSecret());
    QNetworkReply *reply = network.get(request);
    QSignalSpy done(reply, &QNetworkReply::finished);
    done.wait(5000);
    reply->deleteLater();
    return QJsonDocument::fromJson(reply->readAll()).object();
}

// Collects what `process` printed so far; how many lines that makes.
qsizetype readLinesOf(QProcess &process, QByteArrayList &lines)
{
    while (process.canReadLine())
        lines << process.readLine();
    return lines.size();
}

QJsonObject jsonLine(const QByteArray &line)
{
    return QJsonDocument::fromJson(line).object();
}

} // namespace

class StatusTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<DevServiceProcess> m_service;
    QString m_info, m_closedInfo;

    QString issueToken()
    {
        return post(m_service->url(u"_control/issue-token"_s)).value(u"data"_s).toObject().value(u"token"_s).toString();
    }

    Run status(const QStringList &arguments, const QString &info)
    {
        QProcess vesko;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"VESKO_INFO_FILE"_s, info);
        vesko.setProcessEnvironment(environment);
        vesko.start(QStringLiteral(VESKO_BINARY), QStringList{u"status"_s} + arguments);
        if (!vesko.waitForFinished(30000))
            vesko.kill();
        return {vesko.exitStatus() == QProcess::NormalExit ? vesko.exitCode() : -1,
                QString::fromUtf8(vesko.readAllStandardOutput()), QString::fromUtf8(vesko.readAllStandardError())};
    }

    // Started and waited for with this event loop running, so that a Vesko
    // running in this process can answer it.
    std::unique_ptr<QProcess> startStatus(const QStringList &arguments)
    {
        auto vesko = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"VESKO_INFO_FILE"_s, m_info);
        vesko->setProcessEnvironment(environment);
        vesko->start(QStringLiteral(VESKO_BINARY), QStringList{u"status"_s} + arguments);
        return vesko;
    }
    Run statusServed(const QStringList &arguments)
    {
        const auto vesko = startStatus(arguments);
        if (!QSignalSpy(vesko.get(), &QProcess::finished).wait(30000)) {
            vesko->kill();
            vesko->waitForFinished();
        }
        return {vesko->exitStatus() == QProcess::NormalExit ? vesko->exitCode() : -1,
                QString::fromUtf8(vesko->readAllStandardOutput()), QString::fromUtf8(vesko->readAllStandardError())};
    }
    qint64 serviceRequests() { return get(m_service->url(u"_control/stats"_s)).value(u"requests"_s).toInteger(); }

    QString writeInfo(const QString &name, const QString &base)
    {
        QString path = m_dir.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(QJsonDocument(QJsonObject{{u"VeskoAPIURL"_s, base}, {u"VeskoWebURL"_s, base}}).toJson());
        return path;
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("VESKO_TEST_KEYRING_PASSWORD"))
            QSKIP("needs the throwaway session of scripts/with-test-session");
        // A runtime folder of this test's own: no other test's Vesko answers here.
        QVERIFY(m_dir.isValid() && QDir(m_dir.path()).mkdir(u"runtime"_s));
        QFile::setPermissions(m_dir.filePath(u"runtime"_s), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_dir.filePath(u"runtime"_s)));
        m_service = std::make_unique<DevServiceProcess>();
        QVERIFY2(m_service->failure().isEmpty(), qPrintable(m_service->failure()));
        m_info = writeInfo(u"info.json"_s, m_service->url(QString()).toString());
        // A port nobody listens on: bound and closed again.
        m_closedInfo = writeInfo(u"closed.json"_s, u"http://127.0.0.1:9/"_s);
    }
    void init() { post(m_service->url(u"_control/reset"_s)); }

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
        QTest::newRow("server error") << "issued"
                                      << R"({"summary":{"status":500}})" << false << int(statusFailed)
                                      << "Something went wrong";
    }
    void exits()
    {
        QFETCH(QString, token);
        QFETCH(QString, fault);
        QFETCH(bool, closedPort);
        QFETCH(int, exitCode);
        QFETCH(QString, stderrHas);
        keyring.remove();
        if (token == u"issued")
            keyring.save(issueToken());
        else if (token == u"bogus")
            keyring.save(u"tok_not_issued"_s);
        if (!fault.isEmpty())
            post(m_service->url(u"_control"_s), QJsonDocument::fromJson(fault.toUtf8()).object());

        const Run run = status({}, closedPort ? m_closedInfo : m_info);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(stderrHas), qPrintable(run.err));
        QCOMPARE(run.out.isEmpty(), exitCode != statusOk);
        if (token == u"bogus")
            QVERIFY(!keyring.load()); // refused means signed out, as in the tray
    }

    void formats()
    {
        keyring.save(issueToken());
        const Run plain = status({u"--format"_s, u"plain"_s}, m_info);
        const Run json = status({u"--format=json"_s}, m_info);
        QCOMPARE(plain.exitCode, 0);
        QCOMPARE(json.exitCode, 0);
        QVERIFY(plain.out.endsWith(u'\n'));
        const QString figure = plain.out.trimmed();
        QVERIFY(figure.startsWith(u'$'));
        const QJsonObject line = QJsonDocument::fromJson(json.out.toUtf8()).object();
        QCOMPARE(json.out.count(u'\n'), 1);
        // The figures drift by the minute; both runs fall in the same one almost always.
        QCOMPARE(line.value(u"text"_s).toString(), figure);
        QCOMPARE(line.value(u"class"_s).toString(), u"ready"_s);
        QVERIFY(line.value(u"tooltip"_s).toString().startsWith(u"Vesko, MRR "_s + figure + u"\nUpdated at "_s));

        // The privacy switch, set in the tray, holds here too.
        QSettings settings(QSettings::IniFormat, QSettings::UserScope, u"vesko"_s, u"vesko"_s);
        settings.setValue("VeskoHideAmounts", true);
        settings.sync();
        const Run hidden = status({u"--format=json"_s}, m_info);
        settings.remove("VeskoHideAmounts");
        settings.sync();
        const QJsonObject masked = QJsonDocument::fromJson(hidden.out.toUtf8()).object();
        QCOMPARE(masked.value(u"text"_s).toString(), u"$\u2022\u2022\u2022"_s);
        QCOMPARE(masked.value(u"tooltip"_s).toString().section(u'\n', 0, 0), u"Vesko, MRR hidden"_s);
    }

    void watchPrintsAsItGoes()
    {
        keyring.save(issueToken());
        QProcess vesko;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"VESKO_INFO_FILE"_s, m_info);
        vesko.setProcessEnvironment(environment);
        vesko.start(QStringLiteral(VESKO_BINARY), {u"status"_s, u"--watch"_s, u"--format"_s, u"json"_s});
        QStringList classes;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                while (vesko.canReadLine())
                    classes << QJsonDocument::fromJson(vesko.readLine()).object().value(u"class"_s).toString();
                return classes.contains(u"ready"_s);
            }(),
            10000);
        QCOMPARE(classes, (QStringList{u"loading"_s, u"ready"_s}));
        QCOMPARE(vesko.state(), QProcess::Running); // it keeps watching
        vesko.kill();
        vesko.waitForFinished();
    }

    // With a Vesko running, `vesko status` prints its line and calls no
    // service: the token here would let it, and the exit codes tell.
    void asksTheRunningVesko_data()
    {
        QTest::addColumn<QString>("phase");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out"); // a part of stdout; empty: stdout is
        QTest::newRow("ready") << "ready" << QString() << "plain" << int(statusOk) << "$1.2K\n";
        QTest::newRow("ready, json") << "ready" << QString() << "json" << int(statusOk) << R"("menubar":"$1.2K")";
        QTest::newRow("ready, genmon") << "ready" << QString() << "genmon" << int(statusOk) << "<txt>$1.2K</txt>";
        QTest::newRow("signed out") << "signedOut" << QString() << "plain" << int(statusSignedOut) << QString();
        QTest::newRow("signing in") << "signingIn" << QString() << "json" << int(statusSignedOut) << QString();
        QTest::newRow("offline") << "failed" << Phase::offlineMessage() << "plain" << int(statusOffline) << QString();
        QTest::newRow("failed") << "failed" << Phase::loadFailedMessage() << "plain" << int(statusFailed) << QString();
        QTest::newRow("offline, genmon: the reason in the tooltip")
            << "failed" << Phase::offlineMessage() << "genmon" << int(statusOffline)
            << u"<tool>Vesko\n"_s + Phase::offlineMessage() + u"</tool>"_s;
    }
    void asksTheRunningVesko()
    {
        QFETCH(QString, phase);
        QFETCH(QString, message);
        QFETCH(QString, format);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        keyring.save(issueToken());
        const bool ready = phase == u"ready";
        const StatusLine line{.text = ready ? u"$1.2K"_s : QString(),
                              .tooltip = ready ? u"Vesko, MRR $1.2K"_s : u"Vesko\n"_s + message,
                              .phase = phase,
                              .trayLabel = ready ? u"$1.2K"_s : QString(),
                              .snout = true,
                              .message = message};
        SingleInstance primary;
        QVERIFY(primary.listen());
        primary.setStatusSource([&] { return statusFields(line); });

        const qint64 before = serviceRequests();
        const Run run = statusServed({u"--format"_s, format});
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(out.isEmpty() ? run.out.isEmpty() : run.out.contains(out), qPrintable(run.out));
        QCOMPARE(run.err.isEmpty(), exitCode == statusOk || format == u"genmon");
        QCOMPARE(serviceRequests(), before);
        // A click starts Vesko, not the status program `vesko` handed over to.
        if (format == u"genmon")
            QVERIFY2(run.out.contains(u"<txtclick>" VESKO_BINARY "</txtclick>"_s)
                         || run.out.contains(u"<iconclick>" VESKO_BINARY "</iconclick>"_s)
                         || run.out.contains(u"<click>" VESKO_BINARY "</click>"_s),
                     qPrintable(run.out));
    }

    // A one-shot waits out the loading; a watch hears each change pushed, and
    // when the running Vesko quits it carries on with the service itself.
    void followsTheRunningVesko()
    {
        keyring.save(issueToken());
        StatusLine line{.text = {}, .tooltip = u"Vesko"_s, .phase = u"loading"_s};
        auto primary = std::make_unique<SingleInstance>();
        QVERIFY(primary->listen());
        primary->setStatusSource([&] { return statusFields(line); });

        const auto once = startStatus({});
        QTRY_COMPARE(primary->listenerCount(), 1);
        line = {.text = u"$7"_s, .tooltip = u"Vesko, MRR $7"_s, .phase = u"ready"_s, .trayLabel = u"$7"_s};
        primary->publishStatus();
        QVERIFY(QSignalSpy(once.get(), &QProcess::finished).wait(10000));
        QCOMPARE(once->exitCode(), int(statusOk));
        QCOMPARE(once->readAllStandardOutput(), "$7\n");

        const auto watch = startStatus({u"--watch"_s, u"--format=json"_s});
        QByteArrayList lines;
        const auto readLines = [&] { return readLinesOf(*watch, lines); };
        QTRY_COMPARE_WITH_TIMEOUT(readLines(), 1, 10000);
        line.trayLabel = line.text = u"$8"_s;
        primary->publishStatus();
        QTRY_COMPARE_WITH_TIMEOUT(readLines(), 2, 10000);
        QCOMPARE(jsonLine(lines.at(1)).value(u"menubar"_s).toString(), u"$8"_s);

        const qint64 before = serviceRequests();
        primary.reset();
        QTRY_VERIFY_WITH_TIMEOUT(readLines() >= 4, 10000);
        QCOMPARE(jsonLine(lines.at(2)).value(u"class"_s).toString(), u"loading"_s);
        QCOMPARE(jsonLine(lines.at(3)).value(u"class"_s).toString(), u"ready"_s);
        QVERIFY(serviceRequests() > before);
        watch->kill();
        watch->waitForFinished();
    }

    // What the running app answers is its model's line, masked while
    // amounts are hidden, pushed when that switch flips.
    void servesTheModel()
    {
        FakeSecretStore secrets;
        secrets.stored = issueToken();
        QSettings settings(m_dir.filePath(u"app.conf"_s), QSettings::IniFormat);
        HttpSession http;
        FakeLoginItem login;
        FakeUrlOpener urls;
        FakeHostName host;
        const QUrl service = m_service->url(QString());
        AppModel model({.config = VeskoConfig(service, service),
                        .secrets = secrets,
                        .http = http,
                        .settings = settings,
                        .loginItem = login,
                        .urls = urls,
                        .hostName = host,
                        .browserSessions = nullptr,
                        .loopTimer = std::make_unique<FakeSleepTimer>()});
        QTRY_COMPARE_WITH_TIMEOUT(model.phase().kind(), Phase::Case::ready, 10000);
        SingleInstance primary;
        QVERIFY(primary.listen());
        serveStatus(primary, model);

        const qint64 before = serviceRequests();
        const auto watch = startStatus({u"--watch"_s, u"--format=json"_s});
        QByteArrayList lines;
        const auto readLines = [&] { return readLinesOf(*watch, lines); };
        QTRY_COMPARE_WITH_TIMEOUT(readLines(), 1, 10000);
        const QJsonObject first = jsonLine(lines.at(0));
        QCOMPARE(first.value(u"menubar"_s).toString(), model.trayLabel().value());
        QCOMPARE(first.value(u"arr"_s).toString(), Money::compact(model.summary()->arr(), model.summary()->currency()));
        QCOMPARE(first.value(u"growth"_s).toString(), Money::growth(model.summary()->growth().value()));
        QCOMPARE(first.value(u"scope"_s).toString(), u"All projects"_s);
        model.setHideAmounts(true);
        QTRY_COMPARE_WITH_TIMEOUT(readLines(), 2, 10000);
        const QJsonObject masked = jsonLine(lines.at(1));
        QCOMPARE(masked.value(u"text"_s).toString(), u"$\u2022\u2022\u2022"_s);
        QCOMPARE(masked.value(u"menubar"_s).toString(), u"$\u2022\u2022\u2022"_s);
        QCOMPARE(masked.value(u"tooltip"_s).toString().section(u'\n', 0, 0), u"Vesko, MRR hidden"_s);
        QCOMPARE(masked.value(u"arr"_s).toString(), u"$\u2022\u2022\u2022"_s);
        QCOMPARE(serviceRequests(), before);

        // One project's figures, named as such.
        model.setHideAmounts(false);
        model.setProjectScope(u"prj_2"_s);
        QTRY_VERIFY_WITH_TIMEOUT(readLines() > 2 && jsonLine(lines.last()).value(u"class"_s) == u"ready"_s
                                     && jsonLine(lines.last()).value(u"scope"_s) == u"Pawlog"_s,
                                 10000);
        const std::optional<Summary> &scoped = model.summary();
        QCOMPARE(jsonLine(lines.last()).value(u"text"_s).toString(), Money::compact(scoped->mrr(), scoped->currency()));
        QCOMPARE(scoped->byProject().size(), 1);
        watch->kill();
        watch->waitForFinished();
    }

    // What Xfce's Generic Monitor reads: markup it shows as text, never as markup.
    void genmon_data()
    {
        QTest::addColumn<QString>("trayLabel");
        QTest::addColumn<bool>("snout");
        QTest::addColumn<QString>("tooltip");
        QTest::addColumn<QString>("iconName");
        QTest::addColumn<QString>("iconPath");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("expected");
        const QString name = u"app.vesko.Vesko-symbolic"_s;
        QTest::newRow("signed in")
            << "$1.2K" << true << "Vesko, MRR $1.2K\nUpdated at 10:00" << name << QString() << "/usr/bin/vesko"
            << "<icon>app.vesko.Vesko-symbolic</icon><iconclick>/usr/bin/vesko</iconclick>"
               "<txt>$1.2K</txt><txtclick>/usr/bin/vesko</txtclick><tool>Vesko, MRR $1.2K\nUpdated at 10:00</tool>";
        QTest::newRow("signed out: the snout alone")
            << QString() << true << "Vesko\nNot signed in" << name << QString() << "vesko"
            << "<icon>app.vesko.Vesko-symbolic</icon><iconclick>vesko</iconclick><tool>Vesko\nNot signed in</tool>";
        QTest::newRow("offline, no icon: a word to click")
            << QString() << true << "Vesko\nVesko cannot be reached." << QString() << QString() << "vesko"
            << "<txt>Vesko</txt><txtclick>vesko</txtclick><tool>Vesko\nVesko cannot be reached.</tool>";
        QTest::newRow("hidden amounts, an icon file")
            << "$\u2022\u2022\u2022" << true << "Vesko, MRR hidden" << QString() << "/opt/v & co/snout.svg"
            << "'/opt/v & co/vesko'"
            << "<img>/opt/v &amp; co/snout.svg</img><click>'/opt/v & co/vesko'</click>"
               "<txt>$\u2022\u2022\u2022</txt><txtclick>'/opt/v & co/vesko'</txtclick><tool>Vesko, MRR hidden</tool>";
        QTest::newRow("the figure alone, by choice")
            << "$3" << false << "Vesko, MRR $3" << name << QString() << "vesko"
            << "<txt>$3</txt><txtclick>vesko</txtclick><tool>Vesko, MRR $3</tool>";
        QTest::newRow("hostile currency and text")
            << "<b>C$</b> 1</txt>&amp;" << false << "</tool><txt>x\u0007\nnext" << QString() << QString() << "vesko"
            << "<txt>&lt;b&gt;C$&lt;/b&gt; 1&lt;/txt&gt;&amp;amp;</txt><txtclick>vesko</txtclick>"
               "<tool>&lt;/tool&gt;&lt;txt&gt;x\nnext</tool>";
        QTest::newRow("a command that would close its tag")
            << "$3" << false << "t" << QString() << QString() << "/tmp/</txtclick>/vesko"
            << "<txt>$3</txt><txtclick>vesko</txtclick><tool>t</tool>";
    }
    void genmon()
    {
        QFETCH(QString, trayLabel);
        QFETCH(bool, snout);
        QFETCH(QString, tooltip);
        QFETCH(QString, iconName);
        QFETCH(QString, iconPath);
        QFETCH(QString, command);
        QFETCH(QString, expected);
        const StatusLine line{
            .text = trayLabel, .tooltip = tooltip, .phase = u"ready"_s, .trayLabel = trayLabel, .snout = snout};
        QCOMPARE(formatted(line, StatusFormat::genmon, GenmonLook{iconName, iconPath, command}), expected);
        // The same line crosses the instance socket unchanged.
        QCOMPARE(statusLineFromFields(statusFields(line)), std::optional(line));
    }

    // Generic Monitor shows an image file at its own size: the fallback is a
    // panel-sized picture of the snout, not the 120 px icon. It is drawn at
    // build time, so it is checked against the mark as the application draws it.
    void genmonIconFitsAPanel()
    {
        const QString path = genmonIconFile();
        QVERIFY(!path.isEmpty());
        QCOMPARE(QImageReader(path).format(), QByteArray("png"));
        const QImage image = QImage(path).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(22, 15));
        const QImage mark = snoutImage(image.size()).convertToFormat(QImage::Format_ARGB32);
        int shown = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                QCOMPARE(pixel.alpha(), mark.pixelColor(x, y).alpha());
                // Grey, to read on light and dark panels (edges keep it within rounding).
                if (pixel.alpha() >= 64) {
                    ++shown;
                    for (const int channel : {pixel.red(), pixel.green(), pixel.blue()})
                        QVERIFY2(qAbs(channel - 0x88) <= 2,
                                 qPrintable(u"%1,%2: %3"_s.arg(x).arg(y).arg(pixel.name(QColor::HexArgb))));
                }
            }
        }
        QVERIFY(shown > image.width() * image.height() / 3);
        QCOMPARE(genmonIconFile(), path); // made once
    }

    void options_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("json");
        QTest::addColumn<bool>("watch");
        QTest::newRow("none") << QStringList{} << true << false << false;
        QTest::newRow("json, watching") << QStringList{u"--watch"_s, u"--format"_s, u"json"_s} << true << true << true;
        QTest::newRow("joined") << QStringList{u"--format=plain"_s} << true << false << false;
        QTest::newRow("genmon") << QStringList{u"--format=genmon"_s} << true << false << false;
        QTest::newRow("unknown format") << QStringList{u"--format"_s, u"xml"_s} << false << false << false;
        QTest::newRow("format without value") << QStringList{u"--format"_s} << false << false << false;
        QTest::newRow("stray argument") << QStringList{u"now"_s} << false << false << false;
        QTest::newRow("help") << QStringList{u"--help"_s} << true << false << false;
        QTest::newRow("help, short") << QStringList{u"--watch"_s, u"-h"_s} << true << false << true;
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
            QCOMPARE(std::get<StatusOptions>(parsed).format, arguments.contains(u"--format=genmon"_s)
                                                                 ? StatusFormat::genmon
                                                             : json ? StatusFormat::json
                                                                    : StatusFormat::plain);
        if (valid)
            QCOMPARE(std::get<StatusOptions>(parsed).watch, watch);
        else
            QCOMPARE(status(arguments, m_info).exitCode, int(statusUsage));
        if (valid && std::get<StatusOptions>(parsed).help) {
            const Run run = status(arguments, m_info);
            QCOMPARE(run.exitCode, int(statusOk));
            QVERIFY(run.out.startsWith(u"usage: vesko status") && run.err.isEmpty());
        }
    }

    // The tray signed out and in again while a watch held the old token: its
    // next refresh is refused, and it must neither wipe the tray's new token
    // nor wait a minute to take it up.
    void watchFollowsANewSignIn()
    {
        const QString old = issueToken();
        keyring.save(old);
        KeyringSecretStore secrets;
        QSettings settings(m_dir.filePath(u"watch.conf"_s), QSettings::IniFormat);
        HttpSession http;
        FakeLoginItem login;
        FakeUrlOpener urls;
        FakeHostName host;
        const QUrl service = m_service->url(QString());
        QPointer<FakeSleepTimer> loop;
        const auto makeModel = [&] {
            auto timer = std::make_unique<FakeSleepTimer>();
            loop = timer.get();
            return std::make_unique<AppModel>(AppModel::Environment{.config = VeskoConfig(service, service),
                                                                    .secrets = secrets,
                                                                    .http = http,
                                                                    .settings = settings,
                                                                    .loginItem = login,
                                                                    .urls = urls,
                                                                    .hostName = host,
                                                                    .browserSessions = nullptr,
                                                                    .loopTimer = std::move(timer)});
        };
        QStringList classes;
        StatusCommand watch(
            makeModel, StatusOptions{.format = StatusFormat::json, .watch = true},
            [&](const QString &line) { classes << jsonLine(line.toUtf8()).value(u"class"_s).toString(); },
            [](const QString &) {});
        watch.setSignInPoll(60000); // a minute: only a look at once passes
        QTRY_COMPARE_WITH_TIMEOUT(classes.value(classes.size() - 1), u"ready"_s, 10000);

        QNetworkAccessManager network;
        QNetworkRequest revoke(m_service->url(u"v1/app-auth/token"_s));
        revoke.setRawHeader("Authorization", "Bearer " + old.toUtf8());
        QNetworkReply *revoked = network.deleteResource(revoke);
        QVERIFY(QSignalSpy(revoked, &QNetworkReply::finished).wait(5000));
        revoked->deleteLater();
        const QString fresh = issueToken();
        keyring.save(fresh);

        const qsizetype before = classes.size();
        loop->fire();
        QTRY_VERIFY_WITH_TIMEOUT(classes.size() > before + 1 && classes.last() == u"ready", 10000);
        QCOMPARE(keyring.load(), fresh);
    }

    void cleanupTestCase() { keyring.remove(); }
};

QTEST_GUILESS_MAIN(StatusTest)
#include "tst_status.moc"
