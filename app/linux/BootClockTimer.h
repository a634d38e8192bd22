#pragma once

#include "app/core/SleepTimer.h"

#include <QSocketNotifier>

#include <memory>

namespace vesko {

// A one-shot timer on CLOCK_BOOTTIME: unlike Qt's timers it keeps counting
// while the machine is suspended, so a turn that fell due during sleep runs
// right after waking instead of a full interval later. No wake-ups of its own
// between start and expiry.
class BootClockTimer : public SleepTimer
{
    Q_OBJECT

public:
    explicit BootClockTimer(QObject *parent = nullptr);
    ~BootClockTimer() override;

    void start(std::chrono::milliseconds interval) override;
    void stop() override;

private:
    void expire();

    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::unique_ptr<SleepTimer> m_fallback; // where timerfd is not to be had
};

} // namespace vesko
