#include "singleinstance_support.h"

#include "SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTest>
#include <QThread>
#include <QtEndian>

#include <cstring>

#include <grp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace support {

namespace {

std::optional<sockaddr_un> addressOf(const QString &socketPath)
{
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(socketPath);
    if (path.size() >= qsizetype(sizeof address.sun_path))
        return std::nullopt;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    return address;
}

} // namespace

QByteArray frame(QByteArrayView payload, quint8 version, QByteArrayView magic, std::optional<quint32> claimedLength)
{
    char length[4];
    qToBigEndian(claimedLength.value_or(quint32(payload.size())), length);
    return magic.toByteArray() + char(version) + QByteArray(length, 4) + payload.toByteArray();
}

QByteArray argument(QByteArrayView utf8)
{
    char length[2];
    qToBigEndian(quint16(utf8.size()), length);
    return QByteArray(length, 2) + utf8.toByteArray();
}

bool forwardFromThread(const QString &name, const QStringList &arguments, std::chrono::milliseconds timeout)
{
    bool delivered = false;
    std::unique_ptr<QThread> thread(
        QThread::create([&] { delivered = vesko::SingleInstance::forward(name, arguments, timeout); }));
    QEventLoop loop;
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    loop.exec();
    thread->wait();
    return delivered;
}

std::unique_ptr<QProcess> startPeer(const QStringList &arguments)
{
    auto peer = std::make_unique<QProcess>();
    peer->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    peer->start(QStringLiteral(SINGLEINSTANCE_PEER), arguments);
    return peer;
}

QByteArray nextLine(QProcess &peer)
{
    const QDeadlineTimer deadline(std::chrono::seconds(10));
    while (!peer.canReadLine() && peer.waitForReadyRead(int(deadline.remainingTime()))) {
    }
    return peer.readLine().trimmed();
}

int sendAs(uid_t uid, const QString &socketPath, const QByteArray &message)
{
    const std::optional<sockaddr_un> address = addressOf(socketPath);
    if (!address)
        return -1;
    // The test process has threads: between fork and _exit, system calls only.
    const pid_t child = ::fork();
    if (child == 0) {
        if (uid != ::geteuid() && (::setgroups(0, nullptr) != 0 || ::setgid(uid) != 0 || ::setuid(uid) != 0))
            ::_exit(setupFailed);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr *>(&*address), sizeof *address) != 0)
            ::_exit(setupFailed);
        ::send(fd, message.constData(), size_t(message.size()), MSG_NOSIGNAL);
        pollfd answer = {fd, POLLIN, 0};
        char byte = 0;
        const bool acknowledgedByte = ::poll(&answer, 1, 5000) == 1 && ::recv(fd, &byte, 1, 0) == 1 && byte == '\x06';
        ::_exit(acknowledgedByte ? acknowledged : dropped);
    }
    int status = 0;
    if (child < 0 || !QTest::qWaitFor([&] { return ::waitpid(child, &status, WNOHANG) == child; }, 10000))
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool leaveDeadSocket(const QString &path)
{
    const std::optional<sockaddr_un> address = addressOf(path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = address && fd >= 0
        && ::bind(fd, reinterpret_cast<const sockaddr *>(&*address), sizeof *address) == 0;
    ::close(fd);
    return bound;
}

QStringList entriesOf(const QString &directory)
{
    return QDir(directory).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

} // namespace support
