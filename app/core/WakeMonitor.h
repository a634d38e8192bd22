#pragma once

#include <QObject>

namespace vesko {

// Tells when the machine has woken from sleep.
class WakeMonitor : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

signals:
    void woke();
};

} // namespace vesko
