#pragma once

#include "app/core/Notification.h"

#include <QByteArray>
#include <QObject>
#include <QString>

namespace vesko {

// The platform's push channel: registration for a device token, and the
// messages that arrive through it.
class PushTransport : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Answered later from the event loop, never from inside this call, by
    // exactly one of registered() or registrationFailed().
    virtual void registerForPush() = 0;

signals:
    void registered(const QByteArray &deviceToken);
    void registrationFailed(const QString &reason);
    // A push message; an empty title means "new data", nothing to show.
    void pushed(const vesko::Notification &notification);
};

} // namespace vesko
