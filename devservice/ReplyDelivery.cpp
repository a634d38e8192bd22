#include "devservice/ReplyDelivery.h"

#include <QTimer>

#include <sys/socket.h>

namespace vesko::devservice {

namespace {

// Long enough for the client to read what was sent before the reset arrives.
constexpr int resetAfterMs = 100;

void writeAll(QTcpSocket *socket, const QByteArray &bytes, bool closeAfter)
{
    socket->write(bytes);
    if (closeAfter)
        socket->disconnectFromHost(); // after the buffered bytes are out
}

} // namespace

void ReplyDelivery::send(QTcpSocket *socket, HttpReply reply, const FaultPlan &plan, bool closeAfter)
{
    const bool plain = !plan.delayMs && !plan.stall.value_or(false) && !plan.trickleMs && !plan.truncate.value_or(false)
                       && !plan.reset.value_or(false);
    if (plain) {
        writeAll(socket, reply.head() + reply.body, closeAfter);
        return;
    }
    auto *delivery = new ReplyDelivery(socket, std::move(reply), plan, closeAfter);
    QTimer::singleShot(plan.delayMs.value_or(0), delivery, &ReplyDelivery::begin);
}

ReplyDelivery::ReplyDelivery(QTcpSocket *socket, HttpReply reply, const FaultPlan &plan, bool closeAfter)
    : QObject(socket),
      m_socket(socket),
      m_reply(std::move(reply)),
      m_plan(plan),
      m_closeAfter(closeAfter)
{}

void ReplyDelivery::begin()
{
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    if (m_plan.stall.value_or(false))
        return; // the connection stays open and silent until the client gives up

    const QByteArray head = m_reply.head();
    if (m_plan.reset.value_or(false)) {
        m_socket->write(head + m_reply.body.left(m_reply.body.size() / 3));
        m_socket->flush();
        QTimer::singleShot(resetAfterMs, this, &ReplyDelivery::resetConnection);
        return;
    }
    if (m_plan.truncate.value_or(false)) {
        // Content-Length promises the whole body; half of it comes, then FIN.
        writeAll(m_socket, head + m_reply.body.left(m_reply.body.size() / 2), true);
        return;
    }
    if (m_plan.trickleMs) {
        m_pending = head + m_reply.body;
        m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_trickle = new QTimer(this);
        connect(m_trickle, &QTimer::timeout, this, &ReplyDelivery::trickleOne);
        m_trickle->start(*m_plan.trickleMs);
        trickleOne();
        return;
    }
    writeAll(m_socket, head + m_reply.body, m_closeAfter);
    finish();
}

void ReplyDelivery::trickleOne()
{
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState) {
        finish();
        return;
    }
    m_socket->write(m_pending.left(1));
    m_pending.remove(0, 1);
    if (m_pending.isEmpty()) {
        if (m_closeAfter)
            m_socket->disconnectFromHost();
        finish();
    }
}

void ReplyDelivery::resetConnection()
{
    if (m_socket && m_socket->state() == QAbstractSocket::ConnectedState) {
        // A zero linger time turns the close into an RST instead of a FIN.
        const linger hard{1, 0};
        ::setsockopt(int(m_socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        m_socket->abort();
    }
}

void ReplyDelivery::finish()
{
    if (m_trickle)
        m_trickle->stop();
    deleteLater();
}

} // namespace vesko::devservice
