#include "app/linux/SingleInstance.h"

#include "app/linux/InstanceMessage.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QScopeGuard>
#include <QSysInfo>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace vesko {

// Counts and reasons only: an argument may be a callback URL with a
// one-time sign-in code in it.
Q_LOGGING_CATEGORY(lcInstance, "vesko.instance", QtWarningMsg)

namespace {

using namespace std::chrono_literals;
using Status = InstanceMessage::Status;

// The timer that bounds how long a peer may take to deliver its message.
const QString deadlineName = u"vesko-delivery-deadline"_s;

// A file name of our own making: no separators, nothing hidden or relative.
bool isPlainName(const QString &name)
{
    if (name.isEmpty() || name.startsWith(u'.'))
        return false;
    return std::all_of(name.begin(), name.end(), [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'.'
               || c == u'-' || c == u'_';
    });
}

// Ours, and nobody else may add, remove or replace what is in it.
bool isPrivate(const struct stat &info)
{
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Where the socket and its lock live; empty, with the reason in `why`, when
// no trustworthy place exists.
QString runtimeDirectory(const QString &name, const char **why)
{
    struct stat info = {};
    const QByteArray xdg = qgetenv("XDG_RUNTIME_DIR");
    // A relative value counts as unset, as the XDG base directory rules say.
    if (xdg.startsWith('/')) {
        if (::stat(xdg.constData(), &info) == 0 && isPrivate(info))
            return QFile::decodeName(xdg);
        *why = "XDG_RUNTIME_DIR is not a private directory of this user";
        return {};
    }
    // /tmp is shared: a name someone else created first, or a link they
    // planted there, is refused rather than followed.
    const QByteArray fallback = "/tmp/" + QFile::encodeName(name) + '-' + QByteArray::number(::geteuid());
    if ((::mkdir(fallback.constData(), 0700) == 0 || errno == EEXIST) && ::lstat(fallback.constData(), &info) == 0
        && isPrivate(info))
        return QFile::decodeName(fallback);
    *why = "XDG_RUNTIME_DIR is unset and the folder in /tmp is not private to this user";
    return {};
}

QString directoryFor(const QString &name, const char **why)
{
    if (!isPlainName(name)) {
        *why = "the instance name is not a plain file name";
        return {};
    }
    return runtimeDirectory(name, why);
}

QString directoryFor(const QString &name)
{
    const char *why = nullptr;
    QString directory = directoryFor(name, &why);
    if (directory.isEmpty())
        qCDebug(lcInstance) << "no instance socket:" << why;
    return directory;
}

QString socketIn(const QString &directory, const QString &name)
{
    return directory + u'/' + name + ".socket"_L1;
}

QString lockIn(const QString &directory, const QString &name)
{
    return directory + u'/' + name + ".lock"_L1;
}

std::optional<uid_t> peerUid(qintptr descriptor)
{
    struct ucred credentials = {};
    socklen_t size = sizeof credentials;
    if (::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 || size != sizeof credentials)
        return std::nullopt;
    return credentials.uid;
}

// The whole file, for fcntl's locks.
struct flock wholeFile(short type)
{
    struct flock region = {};
    region.l_type = type;
    region.l_whence = SEEK_SET;
    return region;
}

// Whether a primary holds the lock. An open-file-description lock is seen
// from this same process too, and it conflicts with the record lock that
// QLockFile (which earlier versions held) takes; flock() catches a
// QLockFile held by this process, whose record lock our open() and close()
// would have dropped.
bool lockHolderRuns(const QString &lockPath)
{
    const int fd = ::open(QFile::encodeName(lockPath).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    struct flock region = wholeFile(F_WRLCK);
    bool held = ::fcntl(fd, F_OFD_GETLK, &region) == 0 && region.l_type != F_UNLCK;
    if (!held && ::flock(fd, LOCK_SH | LOCK_NB) != 0)
        held = errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

// The instance lock, taken: its descriptor, or -1 with `heldElsewhere` set
// when a primary holds it. The kernel lets go of it when we die, so a
// crashed primary leaves nothing stale behind. Never flushed: the runtime
// directory lives in memory and goes with the session.
int takeLock(const QString &lockPath, bool *heldElsewhere)
{
    *heldElsewhere = false;
    const QByteArray path = QFile::encodeName(lockPath);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0)
            return -1;
        struct flock region = wholeFile(F_WRLCK);
        if (::fcntl(fd, F_OFD_SETLK, &region) != 0) {
            *heldElsewhere = errno == EAGAIN || errno == EACCES;
            ::close(fd);
            return -1;
        }
        // A primary that quit removes its file before letting go: a lock on
        // a removed file is no lock, and the next open makes a new one.
        struct stat opened = {}, named = {};
        if (::fstat(fd, &opened) != 0 || ::stat(path.constData(), &named) != 0 || opened.st_ino != named.st_ino
            || opened.st_dev != named.st_dev) {
            ::close(fd);
            continue;
        }
        // Earlier versions lock with QLockFile, which takes flock(): one of
        // them running is a primary too, and while we hold it too they see us.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            *heldElsewhere = errno == EWOULDBLOCK;
            ::close(fd);
            return -1;
        }
        // QLockFile's layout: earlier versions' forward() reads the pid.
        const QByteArray info =
            QByteArray::number(::getpid()) + "\nvesko\n" + QSysInfo::machineHostName().toUtf8() + '\n';
        if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, info.constData(), size_t(info.size()), 0) != info.size())
            qCDebug(lcInstance) << "instance lock taken, but the pid is not written";
        return fd;
    }
    return -1;
}

int remainingMs(const QDeadlineTimer &deadline)
{
    return int(std::max<qint64>(deadline.remainingTime(), 0));
}

bool connectToPrimary(QLocalSocket &socket, const QString &directory, const QString &name,
                      const QDeadlineTimer &deadline)
{
    std::chrono::milliseconds pause = 5ms;
    for (;;) {
        socket.connectToServer(socketIn(directory, name));
        if (socket.waitForConnected(remainingMs(deadline)))
            return true;
        socket.abort();
        // A primary that took the lock an instant ago may not listen yet.
        if (deadline.hasExpired() || !lockHolderRuns(lockIn(directory, name)))
            return false;
        QThread::msleep(ulong(std::min<qint64>(pause.count(), deadline.remainingTime())));
        pause = std::min(pause * 2, std::chrono::milliseconds(100ms));
    }
}

const char *describe(InstanceMessage::Problem problem)
{
    switch (problem) {
    case InstanceMessage::Problem::magic:
        return "not a Vesko message";
    case InstanceMessage::Problem::kind:
        return "a kind this side does not take";
    case InstanceMessage::Problem::tooLarge:
        return "too large";
    case InstanceMessage::Problem::malformed:
    case InstanceMessage::Problem::none:
        break;
    }
    return "malformed";
}

void drop(QLocalSocket *socket)
{
    socket->abort();
    socket->deleteLater();
}

} // namespace

SingleInstance::SingleInstance(QString name, QObject *parent)
    : QObject(parent),
      m_name(std::move(name))
{}

SingleInstance::~SingleInstance()
{
    // Socket first, lock second: once the lock is free a new primary may
    // listen at the same path, and closing our server would delete its socket.
    // Listeners hang up with it, unheard.
    for (QLocalSocket *socket : std::as_const(m_listeners))
        socket->disconnect(this);
    m_listeners.clear();
    delete m_server;
    m_server = nullptr;
    if (m_lock >= 0) {
        // Removed while still held, so nobody takes a lock on a file that is gone.
        ::unlink(QFile::encodeName(m_lockPath).constData());
        ::close(m_lock);
    }
}

QString SingleInstance::socketPath(const QString &name)
{
    const QString directory = directoryFor(name);
    return directory.isEmpty() ? QString() : socketIn(directory, name);
}

bool SingleInstance::isListening() const
{
    return m_server != nullptr;
}

bool SingleInstance::runAlone(const char *why)
{
    qCWarning(lcInstance).noquote() << why
                                    << "- running without single instance: a later start"
                                       " (a sign-in callback too) will not find this one"_L1;
    m_alone = true;
    return true;
}

bool SingleInstance::listen()
{
    if (m_server || m_alone)
        return true;
    const char *why = nullptr;
    const QString directory = directoryFor(m_name, &why);
    // Nowhere safe to meet: no other instance can be found either, and
    // refusing to start would hand whoever spoiled the place a way to keep
    // Vesko from running at all.
    if (directory.isEmpty())
        return runAlone(why);

    // QLocalServer would silently replace a live primary's socket, so the
    // lock decides who is primary.
    bool heldElsewhere = false;
    const QString lockPath = lockIn(directory, m_name);
    const int lock = takeLock(lockPath, &heldElsewhere);
    if (lock < 0)
        return heldElsewhere ? false : runAlone("cannot create the instance lock");
    auto release = qScopeGuard([lock] { ::close(lock); });
    // Holding the lock, we may replace a crashed primary's socket file,
    // which is what listen() does with one.
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(socketIn(directory, m_name))) {
        qCWarning(lcInstance) << "cannot listen:" << server->errorString();
        return runAlone("the instance socket cannot be made");
    }
    server->setParent(this);
    m_server = server.release();
    release.dismiss();
    m_lock = lock;
    m_lockPath = lockPath;
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return true;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        // The directory should keep strangers out; if it does not, their
        // bytes are still never read.
        if (peerUid(socket->socketDescriptor()) != ::geteuid()) {
            qCWarning(lcInstance) << "refused a connection from another user";
            drop(socket);
            continue;
        }
        serve(socket);
    }
}

void SingleInstance::serve(QLocalSocket *socket)
{
    // Otherwise Qt buffers whatever a peer sends, however much.
    socket->setReadBufferSize(InstanceMessage::maxSize);
    // One deadline for the whole message, so a byte-by-byte trickle cannot
    // hold a connection open. It dies with the socket: an idle primary runs no timer.
    auto *deadline = new QTimer(socket);
    deadline->setObjectName(deadlineName);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, socket, [socket] {
        qCDebug(lcInstance) << "dropped a message that was not delivered in time";
        drop(socket);
    });
    deadline->start(m_deadline);

    auto message = std::make_shared<InstanceMessage>();
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, message] { readFrom(socket, *message); });
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    readFrom(socket, *message);
}

void SingleInstance::readFrom(QLocalSocket *socket, InstanceMessage &message)
{
    // After one message, or a refused one, the rest of the stream goes unheard.
    if (message.status() != Status::incomplete)
        return;
    while (message.status() == Status::incomplete && socket->bytesAvailable() > 0)
        message.append(socket->read(message.bytesWanted()));

    if (message.status() == Status::invalid) {
        qCDebug(lcInstance) << "dropped a message:" << describe(message.problem());
        drop(socket);
    } else if (message.status() == Status::complete && message.kind() == InstanceMessage::Kind::statusQuery) {
        addListener(socket);
    } else if (message.status() == Status::complete) {
        const QStringList &arguments = message.arguments();
        socket->putChar(InstanceMessage::acknowledgement);
        socket->disconnectFromServer();
        qCDebug(lcInstance) << "received a message with" << arguments.size() << "arguments";
        emit received(arguments);
    }
}

QByteArray SingleInstance::statusFrame() const
{
    // The fields are capped to fit; should they not, the asker reads an
    // answer without a phase and gives up on us.
    return InstanceMessage::encode(m_statusSource(), InstanceMessage::Kind::status)
        .value_or(*InstanceMessage::encode({}, InstanceMessage::Kind::status));
}

void SingleInstance::addListener(QLocalSocket *socket)
{
    if (!m_statusSource || m_listeners.size() >= maxListeners) {
        qCDebug(lcInstance) << "turned a status query away";
        drop(socket);
        return;
    }
    // Delivered: the deadline is over. An asker only listens from now on;
    // anything more it sends ends the conversation.
    delete socket->findChild<QTimer *>(deadlineName, Qt::FindDirectChildrenOnly);
    if (socket->bytesAvailable() > 0) {
        drop(socket);
        return;
    }
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { dropListener(socket); });
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] { dropListener(socket); });
    m_listeners.append(socket);
    sendStatus(socket, statusFrame());
}

void SingleInstance::dropListener(QLocalSocket *socket)
{
    // At once, not when the socket is deleted: nothing more is written to it.
    m_listeners.removeOne(socket);
    m_sent.remove(socket);
    drop(socket);
}

void SingleInstance::sendStatus(QLocalSocket *socket, const QByteArray &frame)
{
    if (m_sent.value(socket) == frame)
        return;
    // An asker that stopped reading is not buffered for.
    if (socket->bytesToWrite() > InstanceMessage::maxSize) {
        qCDebug(lcInstance) << "dropped a status listener that does not read";
        dropListener(socket);
        return;
    }
    m_sent.insert(socket, frame);
    socket->write(frame);
}

void SingleInstance::publishStatus()
{
    if (m_listeners.isEmpty() || !m_statusSource)
        return;
    const QByteArray frame = statusFrame();
    // A copy: a listener dropped on the way leaves the list.
    const QList<QLocalSocket *> listeners = m_listeners;
    for (QLocalSocket *socket : listeners)
        sendStatus(socket, frame);
}

bool SingleInstance::forward(const QString &name, const QStringList &arguments, std::chrono::milliseconds timeout)
{
    const QDeadlineTimer deadline(timeout);
    const QString directory = directoryFor(name);
    if (directory.isEmpty())
        return false;
    const std::optional<QByteArray> message = InstanceMessage::encode(arguments);
    if (!message) {
        qCWarning(lcInstance) << "arguments too long to forward";
        return false;
    }

    QLocalSocket socket;
    if (!connectToPrimary(socket, directory, name, deadline))
        return false;
    // The directory is ours, so this holds unless something is badly wrong;
    // the sign-in code must not go to anyone else.
    if (peerUid(socket.socketDescriptor()) != ::geteuid()) {
        qCWarning(lcInstance) << "the instance socket belongs to another user";
        return false;
    }
    socket.write(*message);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(remainingMs(deadline)))
            return false;
    }
    while (socket.bytesAvailable() == 0) {
        if (!socket.waitForReadyRead(remainingMs(deadline)))
            return false;
    }
    char answer = 0;
    return socket.getChar(&answer) && answer == InstanceMessage::acknowledgement;
}

InstanceStatusQuery::InstanceStatusQuery(QString name, QObject *parent)
    : QObject(parent),
      m_name(std::move(name))
{}

InstanceStatusQuery::~InstanceStatusQuery() = default;

bool InstanceStatusQuery::start(std::chrono::milliseconds connectTimeout)
{
    const QDeadlineTimer deadline(connectTimeout);
    const QString directory = directoryFor(m_name);
    if (directory.isEmpty())
        return false;
    auto socket = std::make_unique<QLocalSocket>();
    if (!connectToPrimary(*socket, directory, m_name, deadline))
        return false;
    if (peerUid(socket->socketDescriptor()) != ::geteuid()) {
        qCWarning(lcInstance) << "the instance socket belongs to another user";
        return false;
    }
    socket->setReadBufferSize(InstanceMessage::maxSize);
    socket->write(*InstanceMessage::encode({}, InstanceMessage::Kind::statusQuery));
    m_socket = socket.release();
    m_socket->setParent(this);
    m_message = std::make_unique<InstanceMessage>(InstanceMessage::answer());
    connect(m_socket, &QLocalSocket::readyRead, this, &InstanceStatusQuery::read);
    connect(m_socket, &QLocalSocket::disconnected, this, &InstanceStatusQuery::end);
    connect(m_socket, &QLocalSocket::errorOccurred, this, &InstanceStatusQuery::end);
    QTimer::singleShot(m_answerDeadline, this, [this] {
        if (!m_answered)
            end();
    });
    return true;
}

void InstanceStatusQuery::read()
{
    while (!m_ended && m_socket->bytesAvailable() > 0) {
        m_message->append(m_socket->read(m_message->bytesWanted()));
        if (m_message->status() == Status::invalid) {
            qCDebug(lcInstance) << "unreadable status answer:" << describe(m_message->problem());
            end();
        } else if (m_message->status() == Status::complete) {
            const QStringList fields = m_message->arguments();
            *m_message = InstanceMessage::answer();
            m_answered = true;
            emit answered(fields);
        }
    }
}

void InstanceStatusQuery::end()
{
    if (m_ended)
        return;
    m_ended = true;
    m_socket->abort();
    emit ended(m_answered);
}

} // namespace vesko
