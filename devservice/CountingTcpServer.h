#pragma once

#include <QTcpServer>

namespace vesko::devservice {

// Counts the TCP connections it accepts, so that benchmarks can see whether
// the client reuses its connections.
class CountingTcpServer : public QTcpServer
{
    Q_OBJECT

public:
    using QTcpServer::QTcpServer;

    quint64 acceptedConnections() const { return m_accepted; }

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    quint64 m_accepted = 0;
};

} // namespace vesko::devservice
