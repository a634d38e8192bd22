#pragma once

#include "devservice/ApiRoutes.h"
#include "devservice/ControlRoutes.h"
#include "devservice/ServiceState.h"
#include "devservice/WebPages.h"

#include <QAbstractHttpServer>

#include <memory>

namespace vesko::devservice {

class CountingTcpServer;

// The service on one loopback port: Qt's HTTP server parses the requests, and
// the answers are written to the socket directly so that faults can shape them
// byte by byte.
class DevServer : public QAbstractHttpServer
{
    Q_OBJECT

public:
    // `controlSecret` opens /_control (see ControlRoutes); empty keeps it shut.
    DevServer(quint64 seed, const QString &currency, const QByteArray &controlSecret = {}, QObject *parent = nullptr);
    ~DevServer() override;

    // Listens on 127.0.0.1; port 0 picks a free one. Returns the port, or 0.
    quint16 start(quint16 port, QString *error);

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    HttpReply answer(const IncomingRequest &request, FaultPlan *faults);

    ServiceState m_state;
    CountingTcpServer *m_tcp = nullptr;
    ApiRoutes m_api;
    ControlRoutes m_control;
    std::unique_ptr<WebPages> m_pages; // needs the port
    QByteArray m_origin;               // as browsers write it in an Origin header
};

} // namespace vesko::devservice
