#include "app/linux/BootClockTimer.h"

#include "app/core/PlainSleepTimer.h"

#include <sys/timerfd.h>
#include <unistd.h>

namespace vesko {

BootClockTimer::BootClockTimer(QObject *parent)
    : SleepTimer(parent)
{
    m_fd = timerfd_create(CLOCK_BOOTTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd < 0) {
        m_fallback = std::make_unique<PlainSleepTimer>();
        connect(m_fallback.get(), &SleepTimer::timeout, this, &SleepTimer::timeout);
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &BootClockTimer::expire);
}

BootClockTimer::~BootClockTimer()
{
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

void BootClockTimer::start(std::chrono::milliseconds interval)
{
    if (m_fallback)
        return m_fallback->start(interval);
    // A zero it_value would disarm the timer: a due-now start waits 1 ns.
    const auto ns = std::max<long long>(std::chrono::nanoseconds(interval).count(), 1);
    itimerspec spec{};
    spec.it_value.tv_sec = time_t(ns / 1'000'000'000);
    spec.it_value.tv_nsec = long(ns % 1'000'000'000);
    timerfd_settime(m_fd, 0, &spec, nullptr);
}

void BootClockTimer::stop()
{
    if (m_fallback)
        return m_fallback->stop();
    const itimerspec disarm{};
    timerfd_settime(m_fd, 0, &disarm, nullptr);
    quint64 expirations = 0;
    [[maybe_unused]] const ssize_t n = ::read(m_fd, &expirations, sizeof expirations); // drop one already due
}

void BootClockTimer::expire()
{
    quint64 expirations = 0;
    if (::read(m_fd, &expirations, sizeof expirations) != sizeof expirations)
        return; // stopped meanwhile
    emit timeout();
}

} // namespace vesko
