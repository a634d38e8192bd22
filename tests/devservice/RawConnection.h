#pragma once

#include <QByteArray>

// One request over a plain POSIX socket, to see how the answer ends on the
// wire: Qt reports a clean close and a reset alike.
struct RawExchange
{
    enum class End { closed, reset, timedOut, failed };

    QByteArray head; // status line and headers
    QByteArray body;
    qint64 contentLength = -1;
    End end = End::failed;

    static RawExchange run(quint16 port, const QByteArray &request);
};
