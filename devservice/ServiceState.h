#pragma once

#include "devservice/AuthorizationServer.h"
#include "devservice/DemoBusiness.h"
#include "devservice/FaultBook.h"
#include "devservice/RequestLog.h"
#include "devservice/ServiceClock.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace vesko::devservice {

using namespace Qt::StringLiterals;

// A push device as the app registered it.
struct RegisteredDevice
{
    QString platform;
    QString pushToken;
    QString environment;
    QDateTime registeredAt;
};

// Everything the service remembers while it runs; the route handlers share it.
struct ServiceState
{
    static constexpr auto defaultAppVersion = "0.1.0"_L1;

    ServiceState(quint64 seed, const QString &currency)
        : demo(seed, DemoBusiness::Settings{currency, true, false})
    {}

    ServiceClock clock;
    AuthorizationServer auth{clock};
    DemoBusiness demo;
    FaultBook faults;
    RequestLog log;
    QList<RegisteredDevice> devices;
    QString appVersion{defaultAppVersion};
    quint64 requests = 0; // app-side requests; control calls are not counted
};

} // namespace vesko::devservice
