#include "devservice/CountingTcpServer.h"

namespace vesko::devservice {

void CountingTcpServer::incomingConnection(qintptr socketDescriptor)
{
    ++m_accepted;
    QTcpServer::incomingConnection(socketDescriptor);
}

} // namespace vesko::devservice
