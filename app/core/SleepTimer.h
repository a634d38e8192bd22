#pragma once

#include <QObject>

#include <chrono>

namespace vesko {

// A one-shot timer for the refresh loop. The Linux one counts on while the
// machine sleeps, so a turn that fell due during sleep runs on waking.
class SleepTimer : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    virtual void start(std::chrono::milliseconds interval) = 0;
    virtual void stop() = 0;

signals:
    void timeout();
};

} // namespace vesko
