#pragma once

#include "devservice/HttpReply.h"
#include "devservice/IncomingRequest.h"

#include <QUrl>

namespace vesko::devservice {

struct ServiceState;

// The browser side of the service: the connect page of the sign-in, the web
// dashboard and account settings that the app opens, and the update feed.
class WebPages
{
public:
    WebPages(ServiceState &state, QUrl origin);

    // Any path outside the API and the control interface; a page of its own for 404.
    HttpReply handle(const IncomingRequest &request);

private:
    HttpReply connectPage(const IncomingRequest &request) const;
    HttpReply connectDecision(const IncomingRequest &request);
    HttpReply dashboard() const;
    HttpReply settings() const;
    HttpReply download() const;
    HttpReply appcast() const;

    ServiceState &m_state;
    QUrl m_origin;
};

} // namespace vesko::devservice
