#include "TestHttpServer.h"

#include <sys/socket.h>

// Linger zero makes close() send RST instead of FIN: a connection reset.
void TestHttpServer::resetConnection(QTcpSocket *socket)
{
    socket->waitForBytesWritten(100);
    const linger hard{1, 0};
    ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    socket->abort();
}
