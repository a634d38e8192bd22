// One Vesko per session: the lock, the socket, the wire format, and real
// second processes (singleinstance_peer) that race, crash and forward.
#include "SingleInstance.h"
#include "singleinstance_support.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QLockFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <vector>

#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using vesko::SingleInstance;
using namespace support;

namespace {

const QString ourName = QStringLiteral("vesko");
const QString callbackUrl = QStringLiteral("vesko://callback?code=Zx81-_aq0&state=4f2c");
// The 4 KiB cap, less the 9-byte header and one 2-byte argument length.
constexpr int largestArgument = 4096 - 9 - 2;

} // namespace

class SingleInstanceTest : public QObject
{
    Q_OBJECT

public:
    enum class Drop { promptly, atDeadline, byClient };
    Q_ENUM(Drop)
    enum class Untrusted { groupWritable, worldWritable, otherOwner, notADirectory, missing };
    Q_ENUM(Untrusted)

private:
    std::unique_ptr<QTemporaryDir> m_runtime;

private slots:
    void init()
    {
        m_runtime = std::make_unique<QTemporaryDir>();
        QVERIFY(m_runtime->isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime->path()));
    }

    void refusesASecondPrimary()
    {
        SingleInstance first;
        QVERIFY(first.listen());
        QVERIFY(first.findChildren<QTimer *>().isEmpty()); // idle means idle

        SingleInstance sameProcess;
        QVERIFY(!sameProcess.listen());
        auto otherProcess = startPeer({"primary", ourName});
        QVERIFY(otherProcess->waitForFinished(10000));
        QCOMPARE(otherProcess->readAllStandardOutput().trimmed(), "taken");

        // Neither attempt took the socket over: the first one still hears.
        QSignalSpy received(&first, &SingleInstance::received);
        QVERIFY(forwardFromThread(ourName, {"still there?"}));
        QCOMPARE(received.size(), 1);
    }

    void deliversArgumentsOnce_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("fits");
        QTest::newRow("reopen: no arguments") << QStringList() << true;
        QTest::newRow("callback URL") << QStringList{callbackUrl} << true;
        QTest::newRow("non-ASCII") << QStringList{u"Grüße"_s, u"日本語"_s, u"🎉 mrr"_s} << true;
        QTest::newRow("empty arguments keep their place") << QStringList{"", "second", ""} << true;
        QTest::newRow("a leading BOM is text") << QStringList{u"\uFEFFbom"_s} << true;
        QTest::newRow("many small arguments") << QStringList(1000, "a") << true;
        QTest::newRow("largest that fits") << QStringList{QString(largestArgument, u'x')} << true;
        QTest::newRow("one byte over the cap") << QStringList{QString(largestArgument + 1, u'x')} << false;
        QTest::newRow("over the cap in UTF-8 only") << QStringList{QString(largestArgument / 2 + 1, u'é')} << false;
    }

    void deliversArgumentsOnce()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, fits);
        SingleInstance primary;
        QVERIFY(primary.listen());
        QSignalSpy received(&primary, &SingleInstance::received);

        QCOMPARE(forwardFromThread(ourName, arguments), fits);
        QTest::qWait(50); // room for a duplicate to show
        QCOMPARE(received.size(), fits ? 1 : 0);
        if (fits)
            QCOMPARE(received.at(0).at(0).toStringList(), arguments);
    }

    void understandsTheWireFormat_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray message = frame(argument(callbackUrl.toUtf8()) + argument("Zo\xc3\xab"));
        QTest::newRow("a message") << message;
        // One message per connection: what follows is never heard.
        QTest::newRow("and another in the same write") << message + frame(argument("more"));
    }

    void understandsTheWireFormat()
    {
        QFETCH(QByteArray, bytes);
        SingleInstance primary;
        QVERIFY(primary.listen());
        QSignalSpy received(&primary, &SingleInstance::received);
        QLocalSocket client;
        QByteArray answer;
        connect(&client, &QLocalSocket::readyRead, this, [&] { answer += client.readAll(); });
        client.connectToServer(SingleInstance::socketPath(ourName));
        QVERIFY(client.waitForConnected(2000));
        client.write(bytes);
        QTRY_COMPARE(answer, QByteArray("\x06"));
        QTest::qWait(100);
        QCOMPARE(answer, QByteArray("\x06"));
        QCOMPARE(received.size(), 1);
        QCOMPARE(received.at(0).at(0).toStringList(), QStringList({callbackUrl, u"Zoë"_s}));
    }

    void forwardsFromAnotherProcess_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("callback URL") << QStringList{callbackUrl};
        QTest::newRow("non-ASCII") << QStringList{u"Grüße"_s, u"日本語"_s};
        QTest::newRow("reopen") << QStringList();
    }

    void forwardsFromAnotherProcess()
    {
        QFETCH(QStringList, arguments);
        SingleInstance primary;
        QVERIFY(primary.listen());
        QSignalSpy received(&primary, &SingleInstance::received);

        QElapsedTimer clock;
        clock.start();
        auto secondary = startPeer(QStringList{"forward", ourName} + arguments);
        QSignalSpy finished(secondary.get(), &QProcess::finished);
        QVERIFY(finished.wait(10000));
        qInfo("secondary process start to exit: %lld ms", clock.elapsed());
        QCOMPARE(secondary->exitCode(), 0);
        QCOMPARE(received.size(), 1);
        QCOMPARE(received.at(0).at(0).toStringList(), arguments);
    }

    void forwardRoundTrip()
    {
        SingleInstance primary;
        QVERIFY(primary.listen());
        QBENCHMARK {
            QVERIFY(forwardFromThread(ourName, {callbackUrl}));
        }
    }

    void recoversAfterACrash()
    {
        auto crashed = startPeer({"primary", ourName});
        QCOMPARE(nextLine(*crashed), "primary");
        SingleInstance next;
        QVERIFY(!next.listen());
        crashed->kill(); // SIGKILL: nothing gets cleaned up
        QVERIFY(crashed->waitForFinished());
        QVERIFY(QFileInfo::exists(SingleInstance::socketPath(ourName)));
        QCOMPARE(entriesOf(m_runtime->path()).size(), 2); // its socket and its lock

        // A dead primary's lock is not worth waiting for.
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!SingleInstance::forward(ourName, {"anyone?"}));
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));

        QVERIFY(next.listen());
        QSignalSpy received(&next, &SingleInstance::received);
        auto secondary = startPeer({"forward", ourName, callbackUrl});
        QSignalSpy finished(secondary.get(), &QProcess::finished);
        QVERIFY(finished.wait(10000));
        QCOMPARE(secondary->exitCode(), 0);
        QCOMPARE(received.size(), 1);
    }

    void racingLaunchesElectOnePrimary_data()
    {
        QTest::addColumn<bool>("afterACrash");
        QTest::newRow("from nothing") << false;
        QTest::newRow("over a crashed primary's leftovers") << true;
    }

    void racingLaunchesElectOnePrimary()
    {
        QFETCH(bool, afterACrash);
        constexpr int rounds = 4;
        constexpr int launches = 5;
        for (int round = 0; round < rounds; ++round) {
            QTemporaryDir runtime;
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
            if (afterACrash) {
                auto crashed = startPeer({"primary", ourName});
                QCOMPARE(nextLine(*crashed), "primary");
                crashed->kill();
                QVERIFY(crashed->waitForFinished());
            }
            std::vector<std::unique_ptr<QProcess>> peers;
            for (int i = 0; i < launches; ++i)
                peers.push_back(startPeer({"launch", ourName, QStringLiteral("launch %1").arg(i)}));
            for (auto &peer : peers)
                QVERIFY(peer->waitForStarted());
            // Released together: each one reads its go as soon as it is up.
            for (auto &peer : peers)
                peer->write("go\n");
            for (auto &peer : peers)
                QVERIFY(peer->waitForBytesWritten());

            QProcess *primary = nullptr;
            QStringList forwarded;
            for (int i = 0; i < launches; ++i) {
                const QByteArray role = nextLine(*peers[i]);
                if (role == "primary") {
                    QVERIFY2(!primary, "two primaries");
                    primary = peers[i].get();
                    continue;
                }
                QCOMPARE(role, "forwarded");
                QVERIFY(peers[i]->waitForFinished());
                QCOMPARE(peers[i]->exitCode(), 0);
                forwarded.append(QStringLiteral("launch %1").arg(i));
            }
            QVERIFY2(primary, "no primary");

            QStringList heard;
            for (int i = 0; i < launches - 1; ++i) {
                const QJsonArray message = QJsonDocument::fromJson(nextLine(*primary)).array();
                QCOMPARE(message.size(), 1);
                heard.append(message.at(0).toString());
            }
            heard.sort();
            QCOMPARE(heard, forwarded);

            // A primary that quits takes its socket and lock with it.
            primary->closeWriteChannel();
            QVERIFY(primary->waitForFinished());
            QCOMPARE(primary->exitCode(), 0);
            QCOMPARE(entriesOf(runtime.path()), QStringList());
        }
    }

    void forwardGivesUp_data()
    {
        QTest::addColumn<QString>("leftover");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<int>("atLeastMs");
        QTest::addColumn<int>("atMostMs");
        QTest::newRow("nothing there") << "" << 5000 << 0 << 500;
        QTest::newRow("a socket nobody listens on") << "socket" << 5000 << 0 << 500;
        QTest::newRow("a live lock, but never a socket") << "lock" << 300 << 280 << 1500;
    }

    void forwardGivesUp()
    {
        QFETCH(QString, leftover);
        QFETCH(int, timeoutMs);
        QFETCH(int, atLeastMs);
        QFETCH(int, atMostMs);
        const QString path = SingleInstance::socketPath(ourName);
        QLockFile lock(QFileInfo(path).path() + u'/' + ourName + QLatin1StringView(".lock"));
        if (leftover == u"socket")
            QVERIFY(leaveDeadSocket(path));
        else if (leftover == u"lock")
            QVERIFY(lock.tryLock(0));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!SingleInstance::forward(ourName, {callbackUrl}, std::chrono::milliseconds(timeoutMs)));
        QVERIFY2(clock.elapsed() >= atLeastMs && clock.elapsed() <= atMostMs,
                 qPrintable(QString::number(clock.elapsed())));
    }

    void dropsMalformedMessages_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("chunk"); // bytes per write, 40 ms apart; 0: all at once
        QTest::addColumn<bool>("hangUp");
        QTest::addColumn<Drop>("drop");
        const QByteArray good = frame(argument(callbackUrl.toUtf8()));
        QTest::newRow("garbage") << QByteArray("GET / HTTP/1.1\r\n\r\n") << 0 << false << Drop::promptly;
        QTest::newRow("bad magic") << frame(argument("x"), 1, "VSKX") << 0 << false << Drop::promptly;
        QTest::newRow("version 2") << frame(argument("x"), 2) << 0 << false << Drop::promptly;
        QTest::newRow("version 0") << frame(argument("x"), 0) << 0 << false << Drop::promptly;
        QTest::newRow("length just over the cap") << frame("", 1, "VSKO", 4096 - 9 + 1) << 0 << false << Drop::promptly;
        QTest::newRow("length of 4 GiB") << frame("", 1, "VSKO", 0xffffffff) << 0 << false << Drop::promptly;
        QTest::newRow("argument runs past the end") << frame(argument("abc").left(4)) << 0 << false << Drop::promptly;
        QTest::newRow("half a length") << frame(QByteArrayView("\0", 1)) << 0 << false << Drop::promptly;
        QTest::newRow("invalid UTF-8") << frame(argument("\xff\xfe")) << 0 << false << Drop::promptly;
        QTest::newRow("overlong UTF-8") << frame(argument("\xc0\xaf")) << 0 << false << Drop::promptly;
        QTest::newRow("surrogate in UTF-8") << frame(argument("\xed\xa0\x80")) << 0 << false << Drop::promptly;
        QTest::newRow("truncated, then hung up") << good.left(good.size() - 1) << 0 << true << Drop::byClient;
        QTest::newRow("connects, says nothing") << QByteArray() << 0 << false << Drop::atDeadline;
        QTest::newRow("stalls after the header") << good.left(9) << 0 << false << Drop::atDeadline;
        QTest::newRow("trickled past the deadline") << good << 1 << false << Drop::atDeadline;
    }

    void dropsMalformedMessages()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, chunk);
        QFETCH(bool, hangUp);
        QFETCH(Drop, drop);
        constexpr int deadlineMs = 600;
        SingleInstance primary;
        primary.setConnectionDeadline(std::chrono::milliseconds(deadlineMs));
        QVERIFY(primary.listen());
        QSignalSpy received(&primary, &SingleInstance::received);

        QLocalSocket client;
        QByteArray answer;
        qint64 closedAt = -1;
        QElapsedTimer clock;
        connect(&client, &QLocalSocket::readyRead, this, [&] { answer += client.readAll(); });
        connect(&client, &QLocalSocket::disconnected, this, [&] { closedAt = clock.elapsed(); });
        client.connectToServer(SingleInstance::socketPath(ourName));
        QVERIFY(client.waitForConnected(2000));
        clock.start();
        const qsizetype step = chunk > 0 ? chunk : std::max<qsizetype>(bytes.size(), 1);
        for (qsizetype at = 0; at < bytes.size() && closedAt < 0; at += step) {
            client.write(bytes.mid(at, step));
            client.flush();
            if (chunk > 0)
                QTest::qWait(40);
        }
        if (hangUp)
            client.disconnectFromServer();
        else
            QTRY_VERIFY_WITH_TIMEOUT(closedAt >= 0, deadlineMs + 3000);

        if (drop == Drop::promptly)
            QVERIFY2(closedAt < deadlineMs / 2, qPrintable(QString::number(closedAt)));
        if (drop == Drop::atDeadline)
            QVERIFY2(closedAt >= deadlineMs * 9 / 10, qPrintable(QString::number(closedAt)));
        QCOMPARE(answer, QByteArray()); // never acknowledged
        // Gone without trace: an idle primary keeps no socket and runs no timer.
        QTRY_VERIFY(primary.findChildren<QLocalSocket *>().isEmpty());
        QVERIFY(primary.findChildren<QTimer *>().isEmpty());
        QCOMPARE(received.size(), 0);

        QVERIFY(forwardFromThread(ourName, {"after"}));
        QCOMPARE(received.size(), 1);
        QCOMPARE(received.at(0).at(0).toStringList(), QStringList{"after"});
    }

    void hearsOnlyItsOwnUser_data()
    {
        QTest::addColumn<bool>("stranger");
        QTest::newRow("this user") << false;
        QTest::newRow("another user") << true;
    }

    void hearsOnlyItsOwnUser()
    {
        QFETCH(bool, stranger);
        if (stranger && ::geteuid() != 0)
            QSKIP("connecting as another user needs root");
        SingleInstance primary;
        QVERIFY(primary.listen());
        QSignalSpy received(&primary, &SingleInstance::received);
        // Open the way to the socket, so that only the peer check stands in it.
        const QString path = SingleInstance::socketPath(ourName);
        QCOMPARE(::chmod(QFile::encodeName(m_runtime->path()).constData(), 0711), 0);
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0777), 0);

        const uid_t nobody = 65534;
        QCOMPARE(sendAs(stranger ? nobody : ::geteuid(), path, frame(argument(callbackUrl.toUtf8()))),
                 stranger ? dropped : acknowledged);
        QTest::qWait(50);
        QCOMPARE(received.size(), stranger ? 0 : 1);
    }

    void refusesAnUntrustedDirectory_data()
    {
        QTest::addColumn<Untrusted>("how");
        QTest::newRow("group-writable") << Untrusted::groupWritable;
        QTest::newRow("world-writable") << Untrusted::worldWritable;
        QTest::newRow("someone else's") << Untrusted::otherOwner;
        QTest::newRow("not a directory") << Untrusted::notADirectory;
        QTest::newRow("missing") << Untrusted::missing;
    }

    void refusesAnUntrustedDirectory()
    {
        QFETCH(Untrusted, how);
        const QByteArray directory = QFile::encodeName(m_runtime->path());
        switch (how) {
        case Untrusted::groupWritable:
            QCOMPARE(::chmod(directory.constData(), 0770), 0);
            break;
        case Untrusted::worldWritable:
            QCOMPARE(::chmod(directory.constData(), 0777), 0);
            break;
        case Untrusted::otherOwner:
            if (::geteuid() != 0)
                QSKIP("giving a directory away needs root");
            QCOMPARE(::chown(directory.constData(), 65534, 65534), 0);
            break;
        case Untrusted::notADirectory: {
            QFile file(m_runtime->filePath("file"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(file.fileName()));
            break;
        }
        case Untrusted::missing:
            qputenv("XDG_RUNTIME_DIR", directory + "/missing");
            break;
        }
        const QStringList before = entriesOf(m_runtime->path());
        SingleInstance instance;
        QVERIFY(!instance.listen());
        QVERIFY(SingleInstance::socketPath(ourName).isEmpty());
        QVERIFY(!SingleInstance::forward(ourName, {callbackUrl}, 300ms));
        QCOMPARE(entriesOf(m_runtime->path()), before);
    }

    void fallsBackToAPrivateTmpDirectory_data()
    {
        QTest::addColumn<QByteArray>("runtimeDir");
        QTest::newRow("unset") << QByteArray();
        QTest::newRow("relative") << QByteArray("run/user");
    }

    void fallsBackToAPrivateTmpDirectory()
    {
        QFETCH(QByteArray, runtimeDir);
        if (runtimeDir.isEmpty())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", runtimeDir);
        const QByteArray fallback = "/tmp/vesko-" + QByteArray::number(::geteuid());
        const bool existed = QFileInfo::exists(QFile::decodeName(fallback));
        const QString name = QStringLiteral("tst-singleinstance-%1").arg(QCoreApplication::applicationPid());

        SingleInstance primary(name);
        QVERIFY(primary.listen());
        QCOMPARE(QFileInfo(SingleInstance::socketPath(name)).path(), QFile::decodeName(fallback));
        struct stat info = {};
        QCOMPARE(::lstat(fallback.constData(), &info), 0);
        QCOMPARE(info.st_uid, ::geteuid());
        QCOMPARE(info.st_mode & (existed ? 022 : 077), 0u);
        QSignalSpy received(&primary, &SingleInstance::received);
        QVERIFY(forwardFromThread(name, {callbackUrl}));
        QCOMPARE(received.size(), 1);
    }
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "tst_singleinstance.moc"
