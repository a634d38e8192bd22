#include "devservice/ServiceClock.h"

namespace vesko::devservice {

QDateTime ServiceClock::now() const
{
    return QDateTime::currentDateTimeUtc().addMSecs(m_offsetMs);
}

void ServiceClock::setNow(const QDateTime &instant)
{
    m_offsetMs = QDateTime::currentDateTimeUtc().msecsTo(instant);
}

void ServiceClock::advance(qint64 seconds)
{
    m_offsetMs += seconds * 1000;
}

void ServiceClock::reset()
{
    m_offsetMs = 0;
}

} // namespace vesko::devservice
