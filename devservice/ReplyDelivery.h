#pragma once

#include "devservice/FaultPlan.h"
#include "devservice/HttpReply.h"

#include <QObject>
#include <QPointer>
#include <QTcpSocket>

QT_BEGIN_NAMESPACE
class QTimer;
QT_END_NAMESPACE

namespace vesko::devservice {

// Puts one answer on a connection, honouring the delivery faults of its plan:
// a delay, then a stall, a trickle, a truncation or a reset. Lives as a child
// of the socket, so a client that hangs up takes it along.
class ReplyDelivery : public QObject
{
    Q_OBJECT

public:
    // closeAfter: the client asked for "Connection: close".
    static void send(QTcpSocket *socket, HttpReply reply, const FaultPlan &plan, bool closeAfter);

private:
    ReplyDelivery(QTcpSocket *socket, HttpReply reply, const FaultPlan &plan, bool closeAfter);

    void begin();
    void trickleOne();
    void resetConnection();
    void finish();

    QPointer<QTcpSocket> m_socket;
    HttpReply m_reply;
    FaultPlan m_plan;
    bool m_closeAfter;
    QByteArray m_pending; // what the trickle still has to send
    QTimer *m_trickle = nullptr;
};

} // namespace vesko::devservice
