// A new user's first sign-in, with every piece real but the desktop: the
// `vesko` binary (offscreen) against the demo service, registering its tray
// item with a fake watcher; `vesko --sign-in` handed to it; xdg-open starting
// the test browser, which approves on the connect page and launches
// `vesko vesko://…`; and the figure arriving in the tray item's label.
// Runs in a throwaway session of its own (its keyring, bus and home).
#include "app/linux/KeyringSecretStore.h"
#include "kit/DataEnvelope.h"
#include "kit/Money.h"
#include "kit/Summary.h"
#include "tests/support/DevServiceProcess.h"
#include "tests/support/FakeIndicatorHost.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace vesko;

namespace {

// The keyring the running Vesko reads, from behind its back.
KeyringSecretStore keyring;

int launchVesko(const QStringList &arguments)
{
    QProcess vesko;
    vesko.start(QStringLiteral(VESKO_BINARY), arguments);
    QSignalSpy finished(&vesko, &QProcess::finished);
    if (!finished.wait(10000))
        return -1;
    return vesko.exitStatus() == QProcess::NormalExit ? vesko.exitCode() : -1;
}

bool writeFile(const QString &path, const QByteArray &content, QFile::Permissions permissions)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.setPermissions(permissions);
}

} // namespace

class EndToEndTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<DevServiceProcess> m_service;
    std::unique_ptr<FakeWatcher> m_watcher;
    QProcess m_vesko;

    // The label the service's current summary should give; empty on failure.
    QString expectedLabel(const QString &token)
    {
        QNetworkAccessManager network;
        QNetworkRequest request(m_service->url(u"v1/summary"_s));
        request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
        QNetworkReply *reply = network.get(request);
        QSignalSpy done(reply, &QNetworkReply::finished);
        done.wait(5000);
        reply->deleteLater();
        try {
            const Summary summary = decodeData<Summary>(reply->readAll());
            return Money::compact(summary.mrr(), summary.currency());
        } catch (...) {
            return {};
        }
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("VESKO_TEST_KEYRING_PASSWORD"))
            QSKIP("needs the throwaway session of scripts/with-test-session");
        QVERIFY(m_dir.isValid());
        m_service = std::make_unique<DevServiceProcess>();
        QVERIFY2(m_service->failure().isEmpty(), qPrintable(m_service->failure()));
        const QString base = m_service->url(QString()).toString();
        const QString info = m_dir.filePath(u"vesko-info.json"_s);
        QVERIFY(writeFile(info, QJsonDocument(QJsonObject{{u"VeskoAPIURL"_s, base}, {u"VeskoWebURL"_s, base}}).toJson(),
                          QFile::ReadOwner | QFile::WriteOwner));
        // xdg-open without a display takes $BROWSER.
        const QString browser = m_dir.filePath(u"browser"_s);
        QVERIFY(writeFile(browser, "#!/bin/sh\nexec '" VESKO_TEST_BROWSER "' \"$1\"\n",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        keyring.remove();
        m_watcher = std::make_unique<FakeWatcher>(u"watcher"_s);

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"VESKO_INFO_FILE"_s, info);
        environment.insert(u"BROWSER"_s, browser);
        environment.insert(u"QT_QUICK_BACKEND"_s, u"software"_s);
        environment.remove(u"DISPLAY"_s);
        m_vesko.setProcessEnvironment(environment);
        m_vesko.setProcessChannelMode(QProcess::ForwardedChannels);
        m_vesko.start(QStringLiteral(VESKO_BINARY));
        QVERIFY(m_vesko.waitForStarted());
    }

    void signInReachesTheTray()
    {
        QTRY_COMPARE_WITH_TIMEOUT(m_watcher->registered.size(), 1, 10000);
        Host host{.service = m_watcher->registered.first()};
        QCOMPARE(host.properties().value(u"Title"_s).toString(), u"Vesko"_s);
        QCOMPARE(host.properties().value(u"XAyatanaLabel"_s).toString(), QString());
        // A watcher ran at start: the widgets for the old tray never load.
        QFile maps(u"/proc/%1/maps"_s.arg(m_vesko.processId()));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        QVERIFY(!maps.readAll().contains("libQt6Widgets.so"));

        QCOMPARE(launchVesko({u"--sign-in"_s}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(keyring.load().has_value(), 15000);
        const QString token = *keyring.load();
        // The figures drift by the minute: compare with a fresh reading each time.
        QTRY_VERIFY_WITH_TIMEOUT(!host.properties().value(u"XAyatanaLabel"_s).toString().isEmpty()
                                     && host.properties().value(u"XAyatanaLabel"_s).toString() == expectedLabel(token),
                                 15000);
        QCOMPARE(host.properties().value(u"Title"_s).toString(),
                 u"Vesko, MRR "_s + host.properties().value(u"XAyatanaLabel"_s).toString());
    }

    // Quit from the tray menu: the process ends cleanly and the token stays.
    void quitKeepsTheToken()
    {
        if (m_watcher->registered.isEmpty())
            QSKIP("no tray item");
        Host host{.service = m_watcher->registered.first()};
        host.call(u"/MenuBar"_s, u"com.canonical.dbusmenu"_s, u"Event"_s,
                  {3, u"clicked"_s, QVariant::fromValue(QDBusVariant(0)), 0u});
        QVERIFY(m_vesko.waitForFinished(10000));
        QCOMPARE(m_vesko.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_vesko.exitCode(), 0);
        QVERIFY(keyring.load().has_value());
    }

    void cleanupTestCase()
    {
        if (m_vesko.state() != QProcess::NotRunning) {
            m_vesko.kill();
            m_vesko.waitForFinished(5000);
        }
        keyring.remove();
    }
};

QTEST_GUILESS_MAIN(EndToEndTest)
#include "tst_endtoend.moc"
