#pragma once

#include "HttpReply.h"
#include "IncomingRequest.h"

#include <QJsonObject>

#include <functional>
#include <optional>

namespace vesko::devservice {

struct ServiceState;

// "/_control": what tests, demos and benchmarks use to steer the service and
// look inside it. Not part of the API the app knows; served to loopback peers only.
class ControlRoutes
{
public:
    // connections: how many TCP connections were accepted so far.
    ControlRoutes(ServiceState &state, std::function<quint64()> connections);

    static bool isControlPath(const QString &path);
    HttpReply handle(const IncomingRequest &request);

private:
    HttpReply apply(const IncomingRequest &request);
    HttpReply reset();
    QJsonObject stateJson() const;

    ServiceState &m_state;
    std::function<quint64()> m_connections;
};

} // namespace vesko::devservice
