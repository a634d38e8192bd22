#include "devservice/ApiRoutes.h"

#include "devservice/ServiceState.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace vesko::devservice {

namespace {

constexpr int defaultEventLimit = 20;
constexpr int maxEventLimit = 100;

HttpReply methodNotAllowed(const QByteArray &allowed)
{
    HttpReply reply = HttpReply::error(405, u"method_not_allowed"_s);
    reply.headers.append({"Allow"_ba, allowed});
    return reply;
}

std::optional<QJsonObject> jsonObjectBody(const IncomingRequest &request)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(request.body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

std::optional<QString> stringMember(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

} // namespace

ApiRoutes::ApiRoutes(ServiceState &state)
    : m_state(state)
{}

QString ApiRoutes::endpointFor(const QString &path)
{
    if (path == u"v1/summary")
        return u"summary"_s;
    if (path == u"v1/events")
        return u"events"_s;
    if (path == u"v1/me")
        return u"me"_s;
    if (path == u"v1/app-auth/token")
        return u"token"_s;
    if (path == u"v1/devices")
        return u"devices"_s;
    return {};
}

HttpReply ApiRoutes::handle(const IncomingRequest &request)
{
    const QString endpoint = endpointFor(request.path);
    const QByteArray &method = request.method;

    if (endpoint == u"token") {
        if (method == "POST")
            return exchangeCode(request);
        if (method == "DELETE")
            return signOut(request);
        return methodNotAllowed("POST, DELETE"_ba);
    }
    if (endpoint == u"devices")
        return method == "POST" ? registerDevice(request) : methodNotAllowed("POST"_ba);
    if (endpoint.isEmpty())
        return HttpReply::error(404, u"not_found"_s);
    if (method != "GET")
        return methodNotAllowed("GET"_ba);

    if (auto refused = refusal(request))
        return *refused;
    if (endpoint == u"summary")
        return summary(request);
    if (endpoint == u"events")
        return events(request);
    return HttpReply::data(m_state.demo.me());
}

std::optional<HttpReply> ApiRoutes::refusal(const IncomingRequest &request) const
{
    const std::optional<QString> token = request.bearerToken();
    if (token && m_state.auth.isLive(*token))
        return std::nullopt;
    HttpReply reply = HttpReply::error(401, u"unauthorized"_s);
    // RFC 6750 section 3: say why when a token was sent.
    reply.headers.append({"WWW-Authenticate"_ba, token ? "Bearer error=\"invalid_token\""_ba : "Bearer"_ba});
    return reply;
}

HttpReply ApiRoutes::summary(const IncomingRequest &request) const
{
    const QString project = request.hasQueryItem(u"project"_s) ? request.queryItem(u"project"_s) : u"all"_s;
    if (!m_state.demo.knowsProject(project))
        return HttpReply::error(404, u"unknown_project"_s);
    return HttpReply::data(m_state.demo.summary(m_state.clock.now(), project));
}

HttpReply ApiRoutes::events(const IncomingRequest &request) const
{
    const QString project = request.hasQueryItem(u"project"_s) ? request.queryItem(u"project"_s) : u"all"_s;
    if (!m_state.demo.knowsProject(project))
        return HttpReply::error(404, u"unknown_project"_s);
    int limit = defaultEventLimit;
    if (request.hasQueryItem(u"limit"_s)) {
        bool ok = false;
        limit = request.queryItem(u"limit"_s).toInt(&ok);
        if (!ok || limit < 1 || limit > maxEventLimit)
            return HttpReply::error(400, u"invalid_request"_s, u"limit must be a whole number from 1 to 100"_s);
    }
    return HttpReply::data(m_state.demo.events(m_state.clock.now(), project, limit));
}

HttpReply ApiRoutes::exchangeCode(const IncomingRequest &request)
{
    const std::optional<QJsonObject> body = jsonObjectBody(request);
    if (!body)
        return HttpReply::error(400, u"invalid_request"_s, u"expected a JSON object"_s);
    const AuthorizationServer::Exchange result =
        m_state.auth.exchange(stringMember(*body, u"code"_s), stringMember(*body, u"code_verifier"_s));
    if (!result.succeeded())
        return HttpReply::error(400, result.error, result.description);
    return HttpReply::data(QJsonObject{{u"token"_s, result.token}});
}

HttpReply ApiRoutes::signOut(const IncomingRequest &request)
{
    if (auto refused = refusal(request))
        return *refused;
    m_state.auth.revoke(*request.bearerToken());
    return HttpReply::noContent();
}

HttpReply ApiRoutes::registerDevice(const IncomingRequest &request)
{
    if (auto refused = refusal(request))
        return *refused;
    const std::optional<QJsonObject> body = jsonObjectBody(request);
    const auto platform = body ? stringMember(*body, u"platform"_s) : std::nullopt;
    const auto pushToken = body ? stringMember(*body, u"push_token"_s) : std::nullopt;
    const auto environment = body ? stringMember(*body, u"environment"_s) : std::nullopt;
    if (!platform || !pushToken || !environment || pushToken->isEmpty())
        return HttpReply::error(400, u"invalid_request"_s,
                                u"expected platform, push_token and environment as strings"_s);

    // A device that registers again replaces its earlier entry.
    m_state.devices.removeIf([&](const RegisteredDevice &d) { return d.pushToken == *pushToken; });
    m_state.devices.append({*platform, *pushToken, *environment, m_state.clock.now()});
    return HttpReply::noContent();
}

} // namespace vesko::devservice
