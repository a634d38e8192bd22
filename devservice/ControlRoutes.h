#pragma once

#include "devservice/HttpReply.h"
#include "devservice/IncomingRequest.h"

#include <QByteArray>
#include <QJsonObject>

#include <functional>
#include <optional>

namespace vesko::devservice {

struct ServiceState;

// "/_control": what tests, demos and benchmarks use to steer the service and
// look inside it. Not part of the API the app knows; served to loopback peers
// only, and only to those who send the secret the service was started with.
class ControlRoutes
{
public:
    static constexpr auto secretHeader = QByteArrayView("Vesko-Control-Secret");
    static constexpr qsizetype minimumSecretSize = 16;

    // connections: how many TCP connections were accepted so far. With an
    // empty secret every control call is refused.
    ControlRoutes(ServiceState &state, std::function<quint64()> connections, QByteArray secret);

    static bool isControlPath(const QString &path);
    HttpReply handle(const IncomingRequest &request);

private:
    HttpReply apply(const IncomingRequest &request);
    HttpReply reset();
    QJsonObject stateJson() const;

    bool isAuthorized(const IncomingRequest &request) const;

    ServiceState &m_state;
    std::function<quint64()> m_connections;
    QByteArray m_secret;
};

} // namespace vesko::devservice
