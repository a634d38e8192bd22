#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>

class QLocalServer;
class QLocalSocket;

namespace vesko {

using namespace Qt::StringLiterals;

class InstanceMessage;

// Keeps Vesko to one process per user session. The first process to listen()
// becomes the primary; a later one hands its command-line arguments to it
// with forward() and exits. That is how the browser's sign-in callback
// (`vesko vesko://callback?code=…`) reaches the running app, and how a plain
// second launch asks it to reopen (no arguments).
//
// The primary holds a lock file next to its socket, both in $XDG_RUNTIME_DIR
// (else a private /tmp/<name>-<uid>), so a second process never takes the
// socket over; the kernel drops a crashed primary's lock with it.
// Only processes of the same user are heard; messages are InstanceMessages.
//
// `vesko status` asks the primary for its status line instead of calling the
// service itself (InstanceStatusQuery): the primary answers at once from its
// model and then pushes each change down the open connection, so a watching
// status bar wakes nobody up between changes.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultTimeout{5000};

    explicit SingleInstance(QString name = u"vesko"_s, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Becomes the primary instance; false only when another one runs. Where
    // no private runtime directory (or no socket in it) can be had, nobody
    // else can be found either: it says so in the log and runs alone, true
    // with isListening() false.
    bool listen();
    bool isListening() const;

    // How long a secondary may take to deliver its message once connected.
    void setConnectionDeadline(std::chrono::milliseconds deadline) { m_deadline = deadline; }

    // Hands `arguments` (without the program name) to the running primary and
    // blocks until it acknowledged them: false when none answers within
    // `timeout`, and at once when none runs. Needs no QCoreApplication, so a
    // hand-over can happen before anything else starts.
    static bool forward(const QString &name, const QStringList &arguments,
                        std::chrono::milliseconds timeout = defaultTimeout);

    // Where the primary named `name` listens; empty when it cannot be trusted.
    static QString socketPath(const QString &name);

    // On the primary: the answer to a status query (InstanceMessage's status
    // fields). Without a source, queries are turned away.
    void setStatusSource(std::function<QStringList()> source) { m_statusSource = std::move(source); }
    // Sends every asker still listening the source's answer, when it changed.
    void publishStatus();
    // At most this many askers listen at once; a further one is turned away.
    static constexpr int maxListeners = 16;
    int listenerCount() const { return int(m_listeners.size()); }

signals:
    // On the primary: what a secondary process was started with.
    void received(const QStringList &arguments);

private:
    void acceptConnections();
    void serve(QLocalSocket *socket);
    void readFrom(QLocalSocket *socket, InstanceMessage &message);
    void addListener(QLocalSocket *socket);
    void dropListener(QLocalSocket *socket);
    void sendStatus(QLocalSocket *socket, const QByteArray &frame);
    QByteArray statusFrame() const;
    bool runAlone(const char *why);

    QString m_name;
    std::function<QStringList()> m_statusSource;
    QList<QLocalSocket *> m_listeners;
    QHash<QLocalSocket *, QByteArray> m_sent; // what each listener heard last
    std::chrono::milliseconds m_deadline = defaultTimeout;
    int m_lock = -1; // the lock file, locked while we are the primary
    QString m_lockPath;
    QLocalServer *m_server = nullptr;
    bool m_alone = false;
};

// The asking side of a status query, for `vesko status`: answered() with the
// primary's status fields at once and on every change, until ended().
class InstanceStatusQuery : public QObject
{
    Q_OBJECT

public:
    explicit InstanceStatusQuery(QString name = u"vesko"_s, QObject *parent = nullptr);
    ~InstanceStatusQuery() override;

    // Connects and asks. False at once when no primary runs (or its socket
    // cannot be trusted); then nothing is emitted.
    bool start(std::chrono::milliseconds connectTimeout = std::chrono::milliseconds(1000));
    // How long the first answer may take; a primary that is stuck, or too old
    // to know queries, is not waited on for longer.
    void setAnswerDeadline(std::chrono::milliseconds deadline) { m_answerDeadline = deadline; }

signals:
    void answered(const QStringList &fields);
    // The primary hung up, sent something unreadable or did not answer in time.
    void ended(bool answeredBefore);

private:
    void read();
    void end();

    QString m_name;
    std::chrono::milliseconds m_answerDeadline{3000};
    QLocalSocket *m_socket = nullptr;
    std::unique_ptr<InstanceMessage> m_message;
    bool m_answered = false;
    bool m_ended = false;
};

} // namespace vesko
