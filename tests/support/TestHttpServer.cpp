#include "tests/support/TestHttpServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// Linger zero makes close() send RST instead of FIN: a connection reset.
void TestHttpServer::resetConnection(QTcpSocket *socket)
{
    socket->waitForBytesWritten(100);
    const linger hard{1, 0};
    ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    socket->abort();
}

EndlessServer::EndlessServer()
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || ::listen(m_listener, 4) != 0
        || ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        qFatal("EndlessServer: cannot listen on loopback");
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { run(); });
}

EndlessServer::~EndlessServer()
{
    m_stop = true;
    m_thread.join();
    ::close(m_listener);
}

// Short waits, so that the destructor is heard.
static bool waitFor(int fd, short events, const std::atomic<bool> &stop)
{
    pollfd p{fd, events, 0};
    while (!stop) {
        const int ready = ::poll(&p, 1, 50);
        if (ready > 0)
            return (p.revents & events) != 0;
        if (ready < 0 && errno != EINTR)
            return false;
    }
    return false;
}

void EndlessServer::run()
{
    while (waitFor(m_listener, POLLIN, m_stop)) {
        const int connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            continue;
        serve(connection);
        ::close(connection);
    }
}

void EndlessServer::serve(int connection)
{
    QByteArray request;
    char buffer[4096];
    while (!request.contains("\r\n\r\n")) {
        if (!waitFor(connection, POLLIN, m_stop))
            return;
        const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        request.append(buffer, n);
    }
    const QByteArray chunk(qint64{64} * 1024, ' ');
    const QByteArray framed = QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n";
    QByteArray pending =
        "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n" + framed;
    qsizetype offset = 0;
    for (;;) {
        if (offset == pending.size()) {
            pending = framed;
            offset = 0;
        }
        if (!waitFor(connection, POLLOUT, m_stop))
            return;
        const ssize_t n =
            ::send(connection, pending.constData() + offset, size_t(pending.size() - offset), MSG_NOSIGNAL);
        if (n <= 0)
            return; // the client hung up
        offset += n;
        m_sent += n;
    }
}
