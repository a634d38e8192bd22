#pragma once

#include "app/core/Notification.h"

#include <QObject>

namespace vesko {

// Shows notifications on the desktop and tells when the user clicked one.
class Notifier : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Whether shown notifications can reach the user at all (on Linux: a
    // notification server is there, or can be started).
    virtual bool isAvailable() = 0;
    virtual void show(const Notification &notification) = 0;

signals:
    // The user clicked one of ours; which one does not matter.
    void clicked();
};

} // namespace vesko
