#pragma once

// What tst_singleinstance needs around SingleInstance itself: messages built
// by hand, second processes, and raw sockets.
#include <QByteArray>
#include <QProcess>
#include <QStringList>

#include <chrono>
#include <memory>
#include <optional>

#include <sys/types.h>

namespace support {

// The wire format written out by hand, so that any change to it shows here.
QByteArray frame(QByteArrayView payload, quint8 version = 1, QByteArrayView magic = "VSKO",
                 std::optional<quint32> claimedLength = {});
QByteArray argument(QByteArrayView utf8);

// SingleInstance::forward() from another thread: it blocks, and a primary in
// this process needs this thread's event loop to answer.
bool forwardFromThread(const QString &name, const QStringList &arguments,
                       std::chrono::milliseconds timeout = std::chrono::seconds(5));

// singleinstance_peer with `arguments`, started.
std::unique_ptr<QProcess> startPeer(const QStringList &arguments);
// Blocks this thread: only for peers that do not need this process to answer.
QByteArray nextLine(QProcess &peer);

enum SendOutcome { dropped = 0, acknowledged = 1, setupFailed = 3 };
// Sends `message` to the socket from a child process running as `uid`; a
// SendOutcome, or -1 when the child could not be run.
int sendAs(uid_t uid, const QString &socketPath, const QByteArray &message);

// A socket file with nobody listening, as a crash leaves it.
bool leaveDeadSocket(const QString &path);

QStringList entriesOf(const QString &directory);

} // namespace support
