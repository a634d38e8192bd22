#include "RawConnection.h"

#include <QRegularExpression>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

RawExchange RawExchange::run(quint16 port, const QByteArray &request)
{
    RawExchange result;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return result;
    const timeval timeout{3, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

    QByteArray received;
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && ::send(fd, request.constData(), size_t(request.size()), 0) == request.size()) {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n > 0) {
                received.append(buffer, n);
                continue;
            }
            result.end = n == 0                                     ? End::closed
                       : errno == ECONNRESET                        ? End::reset
                       : (errno == EAGAIN || errno == EWOULDBLOCK) ? End::timedOut
                                                                    : End::failed;
            break;
        }
    }
    ::close(fd);

    const qsizetype split = received.indexOf("\r\n\r\n");
    result.head = split < 0 ? received : received.left(split);
    result.body = split < 0 ? QByteArray() : received.mid(split + 4);
    static const QRegularExpression length(QStringLiteral("(?i)\\r\\nContent-Length: (\\d+)"));
    const QRegularExpressionMatch match = length.match(QString::fromLatin1(result.head));
    if (match.hasMatch())
        result.contentLength = match.captured(1).toLongLong();
    return result;
}
