#pragma once

#include "devservice/HttpReply.h"
#include "devservice/IncomingRequest.h"

#include <optional>

namespace vesko::devservice {

struct ServiceState;

// The JSON API under "v1/": the three reads, the code exchange and sign-out,
// and push device registration.
class ApiRoutes
{
public:
    explicit ApiRoutes(ServiceState &state);

    // The endpoint name that faults are set under ("summary", "token", …),
    // or an empty string for a path that is not the API's.
    static QString endpointFor(const QString &path);

    HttpReply handle(const IncomingRequest &request);

private:
    HttpReply summary(const IncomingRequest &request) const;
    HttpReply events(const IncomingRequest &request) const;
    HttpReply exchangeCode(const IncomingRequest &request);
    HttpReply signOut(const IncomingRequest &request);
    HttpReply registerDevice(const IncomingRequest &request);

    // A 401 unless the request carries a live bearer token.
    std::optional<HttpReply> refusal(const IncomingRequest &request) const;

    ServiceState &m_state;
};

} // namespace vesko::devservice
