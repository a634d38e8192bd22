#pragma once

#include <QDateTime>

namespace vesko::devservice {

// Wall-clock time as the service sees it. Tests move it forward (to expire a
// code, or to let the demo figures drift) without waiting.
class ServiceClock
{
public:
    QDateTime now() const;
    // Keeps running from `instant` on.
    void setNow(const QDateTime &instant);
    void advance(qint64 seconds);
    void reset();

private:
    qint64 m_offsetMs = 0;
};

} // namespace vesko::devservice
