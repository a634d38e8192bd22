#include "devservice/DevServer.h"

#include "devservice/CountingTcpServer.h"
#include "devservice/ReplyDelivery.h"

#include <QHttpServerRequest>
#include <QTcpSocket>

using namespace Qt::StringLiterals;

namespace vesko::devservice {

DevServer::DevServer(quint64 seed, const QString &currency, const QByteArray &controlSecret, QObject *parent)
    : QAbstractHttpServer(parent),
      m_state(seed, currency),
      m_api(m_state),
      m_control(
          m_state, [this] { return m_tcp ? m_tcp->acceptedConnections() : 0; }, controlSecret)
{}

DevServer::~DevServer() = default;

quint16 DevServer::start(quint16 port, QString *error)
{
    auto *tcp = new CountingTcpServer(this);
    if (!tcp->listen(QHostAddress::LocalHost, port)) {
        *error = tcp->errorString();
        delete tcp;
        return 0;
    }
    m_tcp = tcp;
    bind(tcp);
    QUrl origin;
    origin.setScheme(u"http"_s);
    origin.setHost(u"127.0.0.1"_s);
    origin.setPort(tcp->serverPort());
    origin.setPath(u"/"_s);
    m_pages = std::make_unique<WebPages>(m_state, origin);
    m_origin = origin.adjusted(QUrl::RemovePath).toEncoded();
    return tcp->serverPort();
}

bool DevServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    const IncomingRequest incoming = IncomingRequest::from(request, m_state.clock.now());
    FaultPlan faults;
    HttpReply reply = answer(incoming, &faults);
    ReplyDelivery::send(socket, std::move(reply), faults, incoming.wantsClose());
    return true;
}

void DevServer::missingHandler(const QHttpServerRequest &, QTcpSocket *socket)
{
    // handleRequest() answers everything; this is only here because Qt asks for it.
    ReplyDelivery::send(socket, HttpReply::error(404, u"not_found"_s), {}, true);
}

HttpReply DevServer::answer(const IncomingRequest &request, FaultPlan *faults)
{
    // Listening on loopback already keeps others out; this keeps it that way
    // should the address ever change.
    if (!request.peer.isLoopback())
        return HttpReply::error(403, u"forbidden"_s);
    // The user's browser is a loopback peer as well, on behalf of any page it
    // shows: what another site's page sends is refused, preflights included.
    // Only our own connect page's form comes with an Origin that is ours.
    const QByteArray origin = request.header("Origin"_ba);
    if (!origin.isEmpty() && origin != m_origin)
        return HttpReply::error(403, u"forbidden"_s, u"foreign origin"_s);
    if (ControlRoutes::isControlPath(request.path))
        return m_control.handle(request);

    ++m_state.requests;
    m_state.log.record(request);

    const QString endpoint = request.path == u"appcast.xml" ? u"appcast"_s : ApiRoutes::endpointFor(request.path);
    if (!endpoint.isEmpty()) {
        const FaultBook::Decision decision = m_state.faults.take(endpoint);
        *faults = decision.plan;
        if (decision.unauthorized)
            return HttpReply::error(401, u"unauthorized"_s);
        if (faults->status)
            return HttpReply::error(*faults->status, u"injected fault"_s);
        if (faults->redirectTo)
            return HttpReply::redirect(*faults->redirectTo);
    }

    HttpReply reply = request.path.startsWith(u"v1/") ? m_api.handle(request) : m_pages->handle(request);
    faults->tamper(reply);
    return reply;
}

} // namespace vesko::devservice
