#pragma once

// A small HTTP/1.1 server on 127.0.0.1 for client tests: records exactly what
// crossed the wire and answers as each test scripts it, including the broken
// answers a real network produces (stalls, drips, cut bodies, resets).
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <atomic>
#include <functional>
#include <thread>

struct ReceivedRequest
{
    QByteArray method;
    QByteArray target;                    // path and query, as sent
    QMap<QByteArray, QByteArray> headers; // names lower-cased
    QByteArray body;
};

struct ScriptedReply
{
    enum class Mode {
        normal,
        stall,
        trickle,
        truncate,
        reset,
        raw
    };

    int status = 200;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
    Mode mode = Mode::normal;
    int trickleIntervalMs = 50;
    bool chunked = false; // Transfer-Encoding: chunked instead of Content-Length
    QByteArray raw;       // Mode::raw: these bytes, then close

    static ScriptedReply json(int status, const QByteArray &body)
    {
        return {status, body, {{"Content-Type", "application/json"}}};
    }
};

class TestHttpServer : public QObject
{
    Q_OBJECT

public:
    using Script = std::function<ScriptedReply(const ReceivedRequest &)>;

    explicit TestHttpServer(Script script = {})
        : m_script(std::move(script))
    {
        connect(&m_server, &QTcpServer::newConnection, this, &TestHttpServer::accept);
        m_server.listen(QHostAddress::LocalHost, 0);
    }

    void setScript(Script script) { m_script = std::move(script); }
    const Script &script() const { return m_script; }
    quint16 port() const { return m_server.serverPort(); }
    QByteArray origin() const { return "http://127.0.0.1:" + QByteArray::number(port()); }
    const QList<ReceivedRequest> &requests() const { return m_requests; }
    int connections() const { return m_connections; }

private:
    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            ++m_connections;
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void read(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        for (;;) {
            const qsizetype end = buffer.indexOf("\r\n\r\n");
            if (end < 0)
                return;
            ReceivedRequest request;
            const QList<QByteArray> lines = buffer.left(end).split('\n');
            const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
            request.method = requestLine.value(0);
            request.target = requestLine.value(1);
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const qsizetype colon = lines[i].indexOf(':');
                if (colon > 0)
                    request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
            }
            const qsizetype length = request.headers.value("content-length", "0").toLongLong();
            if (buffer.size() < end + 4 + length)
                return;
            request.body = buffer.mid(end + 4, length);
            buffer.remove(0, end + 4 + length);
            m_requests.append(request);
            answer(socket, m_script ? m_script(request) : ScriptedReply::json(200, "{}"));
        }
    }

    static QByteArray head(const ScriptedReply &reply, qsizetype contentLength)
    {
        QByteArray text = "HTTP/1.1 " + QByteArray::number(reply.status) + " Scripted\r\n";
        for (const auto &[name, value] : reply.headers)
            text += name + ": " + value + "\r\n";
        if (reply.chunked)
            text += "Transfer-Encoding: chunked\r\n";
        else
            text += "Content-Length: " + QByteArray::number(contentLength) + "\r\n";
        return text + "\r\n";
    }

    void answer(QTcpSocket *socket, const ScriptedReply &reply)
    {
        using Mode = ScriptedReply::Mode;
        QByteArray body = reply.body;
        if (reply.chunked)
            body = QByteArray::number(body.size(), 16) + "\r\n" + body + "\r\n0\r\n\r\n";
        switch (reply.mode) {
        case Mode::normal:
            socket->write(head(reply, reply.body.size()) + body);
            break;
        case Mode::stall:
            break;
        case Mode::trickle: // the head at once, then the body a byte at a time
            socket->write(head(reply, reply.body.size()));
            drip(socket, body, reply.trickleIntervalMs);
            break;
        case Mode::truncate:
            socket->write(head(reply, reply.body.size()) + body.left(body.size() / 2));
            socket->flush();
            socket->disconnectFromHost();
            break;
        case Mode::reset:
            socket->write(head(reply, reply.body.size()) + body.left(body.size() / 2));
            socket->flush();
            resetConnection(socket);
            break;
        case Mode::raw:
            socket->write(reply.raw);
            socket->flush();
            socket->disconnectFromHost();
            break;
        }
    }

    void drip(QTcpSocket *socket, const QByteArray &bytes, int intervalMs)
    {
        auto *timer = new QTimer(socket);
        timer->setInterval(intervalMs);
        connect(timer, &QTimer::timeout, socket, [socket, timer, bytes, sent = qsizetype(0)]() mutable {
            if (sent >= bytes.size()) {
                timer->stop();
                return;
            }
            socket->write(bytes.mid(sent++, 1));
        });
        timer->start();
    }

    static void resetConnection(QTcpSocket *socket);

    QTcpServer m_server;
    Script m_script;
    QList<ReceivedRequest> m_requests;
    QMap<QTcpSocket *, QByteArray> m_buffers;
    int m_connections = 0;
};

// Answers each connection with a 200 whose chunked body never ends, from a
// thread of its own with blocking writes: it sends only as fast as the client
// takes the bytes and holds no more than one chunk itself, so whatever piles
// up in memory piles up in the client.
class EndlessServer
{
public:
    EndlessServer();
    ~EndlessServer();
    EndlessServer(const EndlessServer &) = delete;
    EndlessServer &operator=(const EndlessServer &) = delete;

    QByteArray origin() const { return "http://127.0.0.1:" + QByteArray::number(m_port); }
    qint64 bytesSent() const { return m_sent; }

private:
    void run();
    void serve(int connection);

    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_sent{0};
    std::thread m_thread;
};
