// One Vesko per session: the lock, the socket, the wire format, real second
// processes (singleinstance_peer) that forward, race and crash, and the
// status queries of `vesko status`.
#include "app/linux/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <csignal>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

using namespace std::chrono_literals;
using vesko::InstanceStatusQuery;
using vesko::SingleInstance;

static const QString ourName = u"vesko"_s;
static const QString callbackUrl = u"vesko://callback?code=Zx81-_aq0&state=4f2c"_s;

// The wire format written out by hand, so that any change to it shows here.
// Kinds: 1 arguments, 2 status query, 3 status answer.
static QByteArray frame(const QByteArray &payload, char kind = 1, std::optional<quint32> length = {})
{
    char size[4];
    qToBigEndian(length.value_or(quint32(payload.size())), size);
    return "VSKO" + QByteArray(1, kind) + QByteArray(size, 4) + payload;
}
static QByteArray argument(const QByteArray &utf8)
{
    char size[2];
    qToBigEndian(quint16(utf8.size()), size);
    return QByteArray(size, 2) + utf8;
}

// singleinstance_peer with `arguments`, started.
static std::unique_ptr<QProcess> startPeer(const QStringList &arguments)
{
    auto peer = std::make_unique<QProcess>();
    peer->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    peer->start(QStringLiteral(SINGLEINSTANCE_PEER), QStringList{ourName} + arguments);
    return peer;
}

// Whether a second process started with `arguments` handed them to the primary here.
static bool forwardFromPeer(const QStringList &arguments)
{
    const auto peer = startPeer(arguments);
    return QSignalSpy(peer.get(), &QProcess::finished).wait(10000) && peer->exitCode() == 0;
}

// Blocks this thread: only for peers that need nothing from it.
static QByteArray nextLine(QProcess &peer)
{
    while (!peer.canReadLine() && peer.waitForReadyRead(10000)) {
    }
    return peer.readLine().trimmed();
}

class SingleInstanceTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_runtime.emplace();
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime->path()));
    }

    // A second primary is refused; a later launch hands its arguments to the first, once.
    void forwards_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("fits");
        constexpr int largest = 4096 - 9 - 2; // the cap, less the header and one argument's length
        QTest::newRow("callback URL, non-ASCII") << QStringList{callbackUrl, u"Grüße 日本語"_s} << true;
        QTest::newRow("none: reopen") << QStringList() << true;
        QTest::newRow("empty ones keep their place") << QStringList{u""_s, u"second"_s, u""_s} << true;
        QTest::newRow("largest that fits") << QStringList{QString(largest, u'x')} << true;
        QTest::newRow("one byte over the cap") << QStringList{QString(largest + 1, u'x')} << false;
    }
    void forwards()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, fits);
        SingleInstance primary;
        QVERIFY(primary.listen());
        QVERIFY(!SingleInstance().listen());
        QSignalSpy received(&primary, &SingleInstance::received);
        QCOMPARE(forwardFromPeer(arguments), fits);
        QTest::qWait(50); // room for a duplicate to show
        QCOMPARE(received.size(), fits ? 1 : 0);
        QCOMPARE(received.value(0).value(0).toStringList(), fits ? arguments : QStringList());
    }

    // Each row's bytes on a connection of their own; the primary serves on.
    void readsTheWire_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("chunk");         // bytes per write, 40 ms apart
        QTest::addColumn<bool>("stranger");     // sent by another user
        QTest::addColumn<QStringList>("heard"); // empty: dropped
        const QByteArray message = frame(argument(callbackUrl.toUtf8()) + argument("Zo\xc3\xab"));
        QTest::newRow("a message, another after it")
            << message + frame(argument("more")) << 4096 << false << QStringList{callbackUrl, u"Zoë"_s};
        QTest::newRow("a leading BOM is text") << frame(argument("\xef\xbb\xbf"
                                                                 "bom"))
                                               << 4096 << false << QStringList{u"\uFEFFbom"_s};
        QTest::newRow("from another user") << message << 4096 << true << QStringList();
        QTest::newRow("another magic") << "VSKX" + message.mid(4) << 4096 << false << QStringList();
        QTest::newRow("an unknown kind") << frame(argument("x"), 4) << 4096 << false << QStringList();
        QTest::newRow("a status answer") << frame(argument("phase") + argument("ready"), 3) << 4096 << false
                                         << QStringList();
        QTest::newRow("length over the cap") << frame({}, 1, 4096 - 9 + 1) << 4096 << false << QStringList();
        QTest::newRow("argument past the end") << frame(argument("abc").chopped(1)) << 4096 << false << QStringList();
        QTest::newRow("half a length") << frame(QByteArray(1, '\0')) << 4096 << false << QStringList();
        QTest::newRow("invalid UTF-8") << frame(argument("\xff\xfe")) << 4096 << false << QStringList();
        QTest::newRow("a character cut off at the end")
            << frame(argument("code=ab\xdd")) << 4096 << false << QStringList();
        QTest::newRow("trickled past the deadline") << message << 1 << false << QStringList();
    }
    void readsTheWire()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, chunk);
        QFETCH(bool, stranger);
        QFETCH(QStringList, heard);
        if (stranger && ::geteuid() != 0)
            QSKIP("connecting as another user needs root");
        SingleInstance primary;
        primary.setConnectionDeadline(600ms);
        QVERIFY(primary.listen());
        QSignalSpy received(&primary, &SingleInstance::received);
        const QByteArray path = QFile::encodeName(SingleInstance::socketPath(ourName));
        // Open the way to the socket, so that only the peer check stands in a stranger's way.
        if (stranger)
            QVERIFY(::chmod(QFile::encodeName(m_runtime->path()), 0711) == 0 && ::chmod(path, 0777) == 0
                    && ::seteuid(65534) == 0);
        QLocalSocket client;
        client.connectToServer(QFile::decodeName(path));
        const bool connected = client.waitForConnected();
        QVERIFY((!stranger || ::seteuid(0) == 0) && connected);
        QElapsedTimer clock;
        clock.start();
        for (qsizetype at = 0; at < bytes.size() && client.state() == QLocalSocket::ConnectedState; at += chunk) {
            client.write(bytes.mid(at, chunk));
            client.flush();
            QTest::qWait(chunk < bytes.size() ? 40 : 0);
        }
        QTRY_VERIFY_WITH_TIMEOUT(client.state() == QLocalSocket::UnconnectedState, 3000);
        const qint64 closedAt = clock.elapsed();
        QVERIFY2(chunk < bytes.size() ? closedAt >= 540 : closedAt < 300, qPrintable(QString::number(closedAt)));
        QCOMPARE(client.readAll(), heard.isEmpty() ? "" : "\x06");
        // Nothing kept: an idle primary holds no socket and runs no timer.
        QTRY_VERIFY(primary.findChildren<QLocalSocket *>().isEmpty());
        QVERIFY(primary.findChildren<QTimer *>().isEmpty());
        QVERIFY(forwardFromPeer({u"after"_s}));
        QCOMPARE(received.size(), heard.isEmpty() ? 1 : 2);
        QCOMPARE(received.at(0).at(0).toStringList(), heard.isEmpty() ? QStringList{u"after"_s} : heard);
    }

    // A query is answered at once and then on each change, never twice the
    // same; hand-overs go on meanwhile; the asker hears when the primary goes.
    void answersStatusQueries()
    {
        QStringList fields{u"phase"_s, u"ready"_s, u"text"_s, u"$1"_s};
        auto primary = std::make_unique<SingleInstance>();
        QVERIFY(primary->listen());
        primary->setStatusSource([&] { return fields; });
        InstanceStatusQuery query(ourName);
        QSignalSpy answered(&query, &InstanceStatusQuery::answered);
        QSignalSpy ended(&query, &InstanceStatusQuery::ended);
        QVERIFY(query.start());
        QTRY_COMPARE(answered.size(), 1);
        QCOMPARE(answered.at(0).at(0).toStringList(), fields);

        fields[3] = u"$2"_s;
        primary->publishStatus();
        primary->publishStatus();
        QSignalSpy received(primary.get(), &SingleInstance::received);
        QVERIFY(forwardFromPeer({u"meanwhile"_s}));
        QCOMPARE(received.size(), 1);
        QCOMPARE(answered.size(), 2);
        QCOMPARE(answered.at(1).at(0).toStringList(), fields);

        primary.reset();
        QTRY_COMPARE(ended.size(), 1);
        QCOMPARE(ended.at(0).at(0).toBool(), true);
    }

    // Each row's bytes on a connection of their own: answered and kept open as
    // a listener, or dropped unanswered.
    void statusQueries_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("source"); // the primary has a status to give
        QTest::addColumn<int>("chunk");   // bytes per write, 60 ms apart
        QTest::addColumn<bool>("answered");
        const QByteArray query = frame({}, 2);
        QTest::newRow("a query") << query << true << 4096 << true;
        QTest::newRow("options are left for later") << frame(argument("soon"), 2) << true << 4096 << true;
        QTest::newRow("no status to give") << query << false << 4096 << false;
        QTest::newRow("bytes after the query") << query + "VSKO" << true << 4096 << false;
        QTest::newRow("length over the cap") << frame({}, 2, 4096 - 9 + 1) << true << 4096 << false;
        QTest::newRow("options not UTF-8") << frame(argument("\xc3"), 2) << true << 4096 << false;
        QTest::newRow("trickled past the deadline") << query << true << 1 << false;
    }
    void statusQueries()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, source);
        QFETCH(int, chunk);
        QFETCH(bool, answered);
        SingleInstance primary;
        primary.setConnectionDeadline(300ms);
        QVERIFY(primary.listen());
        if (source)
            primary.setStatusSource([] { return QStringList{u"phase"_s, u"ready"_s}; });
        QLocalSocket client;
        client.connectToServer(SingleInstance::socketPath(ourName));
        QVERIFY(client.waitForConnected());
        for (qsizetype at = 0; at < bytes.size() && client.state() == QLocalSocket::ConnectedState; at += chunk) {
            client.write(bytes.mid(at, chunk));
            client.flush();
            QTest::qWait(chunk < bytes.size() ? 60 : 0);
        }
        if (answered) {
            QTRY_COMPARE(primary.listenerCount(), 1);
            QTRY_COMPARE(client.bytesAvailable(), frame(argument("phase") + argument("ready"), 3).size());
            QCOMPARE(client.readAll(), frame(argument("phase") + argument("ready"), 3));
            QCOMPARE(client.state(), QLocalSocket::ConnectedState);
            // Listening, it runs no timer.
            QVERIFY(primary.findChildren<QTimer *>().isEmpty());
            client.disconnectFromServer();
        } else {
            QTRY_VERIFY(client.state() == QLocalSocket::UnconnectedState);
        }
        QTRY_VERIFY(primary.findChildren<QLocalSocket *>().isEmpty());
        QCOMPARE(primary.listenerCount(), 0);
    }

    // Listeners are few, and one that stops reading is let go rather than
    // buffered for.
    void listenersAreBounded()
    {
        SingleInstance primary;
        QVERIFY(primary.listen());
        int change = 0;
        primary.setStatusSource([&] {
            return QStringList{u"phase"_s, u"ready"_s, u"text"_s, QString(2000, u'x') + QString::number(change)};
        });
        std::vector<std::unique_ptr<QLocalSocket>> askers;
        for (int i = 0; i <= SingleInstance::maxListeners; ++i) {
            auto asker = std::make_unique<QLocalSocket>();
            asker->setReadBufferSize(1);
            asker->connectToServer(SingleInstance::socketPath(ourName));
            QVERIFY(asker->waitForConnected());
            asker->write(frame({}, 2));
            asker->flush();
            askers.push_back(std::move(asker));
            if (i < SingleInstance::maxListeners)
                QTRY_COMPARE(primary.listenerCount(), i + 1);
        }
        QTRY_VERIFY(askers.back()->state() == QLocalSocket::UnconnectedState);
        QCOMPARE(primary.listenerCount(), SingleInstance::maxListeners);

        for (int i = 0; i < 2000 && primary.listenerCount() > 0; ++i) {
            ++change;
            primary.publishStatus();
            QCoreApplication::processEvents();
        }
        QCOMPARE(primary.listenerCount(), 0);
        QTRY_VERIFY(primary.findChildren<QLocalSocket *>().isEmpty());
    }

    // A crashed primary blocks nobody: of launches racing over its leftovers,
    // one becomes the primary and the others hand their arguments to it.
    void racingLaunchesAfterACrash()
    {
        auto crashed = startPeer({});
        QCOMPARE(nextLine(*crashed), "primary");
        QVERIFY(!SingleInstance().listen());
        crashed->kill(); // SIGKILL: nothing gets cleaned up
        QVERIFY(crashed->waitForFinished());
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!SingleInstance::forward(ourName, {callbackUrl})); // a dead primary is not waited for
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));

        std::vector<std::unique_ptr<QProcess>> launches;
        launches.reserve(5);
        for (int i = 0; i < 5; ++i)
            launches.push_back(startPeer({QString::number(i)}));
        QByteArrayList roles;
        for (auto &launch : launches)
            roles << nextLine(*launch);
        for (auto &launch : launches) {
            launch->kill(); // the primary serves until killed
            launch->waitForFinished();
        }
        std::sort(roles.begin(), roles.end());
        QCOMPARE(roles, QByteArrayList({"forwarded", "forwarded", "forwarded", "forwarded", "primary"}));
    }

    // A live lock without a socket yet (a primary starting up) is waited for, not for ever.
    void forwardWaitsOnlySoLong()
    {
        QLockFile lock(m_runtime->filePath(u"vesko.lock"_s));
        QVERIFY(lock.tryLock(0));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!SingleInstance::forward(ourName, {callbackUrl}, 300ms));
        QVERIFY2(clock.elapsed() >= 250 && clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
    }

    // An earlier version's primary holds a QLockFile: neither side may
    // become a second primary.
    void respectsAnEarlierVersionsLock()
    {
        {
            QLockFile earlier(m_runtime->filePath(u"vesko.lock"_s));
            QVERIFY(earlier.tryLock(0));
            SingleInstance instance(ourName);
            QVERIFY(!instance.listen());
        }
        SingleInstance instance(ourName);
        QVERIFY(instance.listen());
        QVERIFY(instance.isListening());
        QLockFile earlier(m_runtime->filePath(u"vesko.lock"_s));
        QVERIFY(!earlier.tryLock(0));
    }

    // Taking the lock, and taking over a crashed primary's, flushes nothing
    // to disk: the runtime directory lives in memory anyway.
    void noFlushAtStart()
    {
        const QString strace = QStandardPaths::findExecutable(u"strace"_s);
        if (strace.isEmpty())
            QSKIP("needs strace");
        for (const char *start : {"fresh", "after a crash"}) {
            const QString log = m_runtime->filePath(u"strace.log"_s);
            QProcess tracer;
            tracer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            tracer.start(strace, {u"-f"_s, u"-qq"_s, u"-e"_s, u"trace=fsync,fdatasync,sync_file_range,syncfs"_s,
                                  u"-o"_s, log, QStringLiteral(SINGLEINSTANCE_PEER), ourName});
            const QByteArray role = nextLine(tracer);
            // The primary itself, killed as a crash would: its lock stays behind.
            QFile children(u"/proc/%1/task/%1/children"_s.arg(tracer.processId()));
            const pid_t peer = children.open(QIODevice::ReadOnly) ? children.readAll().trimmed().toInt() : 0;
            if (peer > 0)
                ::kill(peer, SIGKILL);
            else
                tracer.kill();
            tracer.waitForFinished();
            if (role.isEmpty())
                QSKIP("strace cannot trace here");
            QCOMPARE(role, "primary");
            QVERIFY(peer > 0);
            QFile traced(log);
            QVERIFY(traced.open(QIODevice::ReadOnly));
            const QByteArray calls = traced.readAll();
            QVERIFY2(!calls.contains("sync"), start);
        }
    }

    // A runtime directory that others could tamper with is not used; Vesko
    // runs without single instance then (and says so) instead of not at all.
    void runsAloneWithoutAPrivateDirectory_data()
    {
        QTest::addColumn<QByteArray>("place"); // "runtime": $XDG_RUNTIME_DIR, else the folder in /tmp
        QTest::addColumn<QByteArray>("kind");  // "dir", "link" (to a private folder of ours) or "file"
        QTest::addColumn<uint>("mode");
        QTest::addColumn<uint>("owner");
        QTest::newRow("runtime group-writable") << QByteArray("runtime") << QByteArray("dir") << 0770u << ::geteuid();
        QTest::newRow("runtime someone else's") << QByteArray("runtime") << QByteArray("dir") << 0700u << 65534u;
        QTest::newRow("/tmp world-writable") << QByteArray("tmp") << QByteArray("dir") << 0777u << ::geteuid();
        QTest::newRow("/tmp someone else's") << QByteArray("tmp") << QByteArray("dir") << 0700u << 65534u;
        QTest::newRow("/tmp a link") << QByteArray("tmp") << QByteArray("link") << 0700u << ::geteuid();
        QTest::newRow("/tmp a file") << QByteArray("tmp") << QByteArray("file") << 0600u << ::geteuid();
    }
    void runsAloneWithoutAPrivateDirectory()
    {
        QFETCH(QByteArray, place);
        QFETCH(QByteArray, kind);
        QFETCH(uint, mode);
        QFETCH(uint, owner);
        if (owner != ::geteuid() && ::geteuid() != 0)
            QSKIP("giving a directory away needs root");
        const QString name = u"tst-singleinstance-%1"_s.arg(QCoreApplication::applicationPid());
        QByteArray path = QFile::encodeName(m_runtime->path());
        if (place == "tmp") {
            qunsetenv("XDG_RUNTIME_DIR");
            path = QFile::encodeName(u"/tmp/%1-%2"_s.arg(name).arg(::geteuid()));
            if (kind == "dir")
                QVERIFY(::mkdir(path.constData(), 0700) == 0);
            else if (kind == "link")
                QVERIFY(::symlink(QFile::encodeName(m_runtime->path()).constData(), path.constData()) == 0);
            else
                QVERIFY(QFile(QFile::decodeName(path)).open(QIODevice::WriteOnly));
        }
        const auto cleanup = qScopeGuard([&] {
            if (place == "tmp" && ::unlink(path.constData()) != 0)
                ::rmdir(path.constData());
        });
        if (kind != "link")
            QVERIFY(::chmod(path.constData(), mode) == 0 && ::chown(path.constData(), owner, gid_t(-1)) == 0);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"running without single instance"_s));
        SingleInstance alone(name);
        QVERIFY(alone.listen());
        QVERIFY(!alone.isListening());
        QVERIFY(SingleInstance::socketPath(name).isEmpty()); // which forward() would use
        QVERIFY(!SingleInstance::forward(name, {callbackUrl}));
        QVERIFY(QDir(m_runtime->path()).isEmpty()); // nothing made through the link
    }

    // A relative $XDG_RUNTIME_DIR is ignored: a private folder in /tmp serves instead.
    void fallsBackToTmp()
    {
        qputenv("XDG_RUNTIME_DIR", "run/user");
        const QString name = u"tst-singleinstance-%1"_s.arg(QCoreApplication::applicationPid());
        const QString folder = u"/tmp/%1-%2"_s.arg(name).arg(::geteuid());
        {
            SingleInstance primary(name);
            QVERIFY(primary.listen());
            QVERIFY(primary.isListening());
            QCOMPARE(QFileInfo(SingleInstance::socketPath(name)).path(), folder);
        }
        QVERIFY(QDir().rmdir(folder)); // empty once the primary is gone
    }

private:
    std::optional<QTemporaryDir> m_runtime;
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "tst_singleinstance.moc"
