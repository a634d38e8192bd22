#pragma once

#include "app/core/SleepTimer.h"

#include <QTimer>

namespace vesko {

// The loop's timer on Qt's own clock, which stops while the machine sleeps.
// For platforms without a better one, and tests.
class PlainSleepTimer : public SleepTimer
{
public:
    explicit PlainSleepTimer(QObject *parent = nullptr)
        : SleepTimer(parent)
    {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, &SleepTimer::timeout);
    }
    void start(std::chrono::milliseconds interval) override { m_timer.start(interval); }
    void stop() override { m_timer.stop(); }

private:
    QTimer m_timer;
};

} // namespace vesko
