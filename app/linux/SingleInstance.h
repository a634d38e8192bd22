#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

namespace vesko {

class InstanceMessage;

// Keeps Vesko to one process per user session. The first process to listen()
// becomes the primary; a later one hands its command-line arguments to it
// with forward() and exits. That is how the browser's sign-in callback
// (`vesko vesko://callback?code=…`) reaches the running app, and how a plain
// second launch asks it to reopen (no arguments).
//
// The primary holds a lock file next to its socket, both in $XDG_RUNTIME_DIR
// (else a private /tmp/vesko-<uid>), so a second process never takes the
// socket over; a crashed primary's lock is recognised as stale and replaced.
// Only processes of the same user are heard; messages are InstanceMessages.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultTimeout{5000};

    explicit SingleInstance(QString name = QStringLiteral("vesko"), QObject *parent = nullptr);
    ~SingleInstance() override;

    // Becomes the primary instance. False when another one runs, or when
    // the runtime directory is not private to this user.
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

signals:
    // On the primary: what a secondary process was started with.
    void received(const QStringList &arguments);

private:
    void acceptConnections();
    void serve(QLocalSocket *socket);
    void readFrom(QLocalSocket *socket, InstanceMessage &message);

    QString m_name;
    std::chrono::milliseconds m_deadline = defaultTimeout;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};

} // namespace vesko
