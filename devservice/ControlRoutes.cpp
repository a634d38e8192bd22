#include "devservice/ControlRoutes.h"

#include "devservice/ServiceState.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <functional>
#include <vector>

using namespace Qt::StringLiterals;

namespace vesko::devservice {

ControlRoutes::ControlRoutes(ServiceState &state, std::function<quint64()> connections, QByteArray secret)
    : m_state(state),
      m_connections(std::move(connections)),
      m_secret(std::move(secret))
{}

bool ControlRoutes::isAuthorized(const IncomingRequest &request) const
{
    const QByteArray sent = request.header(secretHeader.toByteArray());
    if (m_secret.isEmpty() || sent.size() != m_secret.size())
        return false;
    // Every byte compared, so the time taken tells nothing of how much matched.
    int difference = 0;
    for (qsizetype i = 0; i < sent.size(); ++i)
        difference |= sent[i] ^ m_secret[i];
    return difference == 0;
}

bool ControlRoutes::isControlPath(const QString &path)
{
    return path == u"_control" || path.startsWith(u"_control/");
}

HttpReply ControlRoutes::handle(const IncomingRequest &request)
{
    // Other local users and web pages reach this port too; only whoever
    // started the service knows the secret.
    if (m_secret.isEmpty())
        return HttpReply::error(403, u"forbidden"_s,
                                u"start the service with VESKO_DEVSERVICE_SECRET set to use /_control"_s);
    if (!isAuthorized(request))
        return HttpReply::error(403, u"forbidden"_s, u"wrong or missing "_s + QString::fromLatin1(secretHeader));

    const QString &path = request.path;
    const bool get = request.method == "GET";
    const bool post = request.method == "POST";

    if (path == u"_control" && get)
        return HttpReply::json(stateJson());
    if (path == u"_control" && post)
        return apply(request);
    if (path == u"_control/reset" && post)
        return reset();
    if (path == u"_control/log" && get)
        return HttpReply::json(m_state.log.toJson());
    if (path == u"_control/log/clear" && post) {
        m_state.log.clear();
        return HttpReply::noContent();
    }
    if (path == u"_control/stats" && get) {
        return HttpReply::json(
            QJsonObject{{u"connections"_s, qint64(m_connections())}, {u"requests"_s, qint64(m_state.requests)}});
    }
    if (path == u"_control/issue-token" && post)
        return HttpReply::data(QJsonObject{{u"token"_s, m_state.auth.issueToken()}});
    return HttpReply::error(404, u"not_found"_s);
}

HttpReply ControlRoutes::apply(const IncomingRequest &request)
{
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(request.body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return HttpReply::error(400, u"expected a JSON object"_s);

    // Everything is checked before anything changes: a refused call leaves no trace.
    std::vector<std::function<void()>> changes;
    const QJsonObject control = document.object();
    for (auto it = control.begin(); it != control.end(); ++it) {
        const QString key = it.key();
        const QJsonValue value = it.value();
        auto refuse = [&](const QString &why) { return HttpReply::error(400, key + u": "_s + why); };

        if (FaultBook::isName(key)) {
            if (!value.isObject() && !value.isNull())
                return refuse(u"expected an object of faults"_s);
            QString error;
            const std::optional<FaultPlan> plan = FaultPlan::fromJson(value.toObject(), &error);
            if (!plan)
                return HttpReply::error(400, key + u"."_s + error);
            changes.push_back([this, key, plan = *plan] { m_state.faults.set(key, plan); });
        } else if (key == u"version") {
            if (!value.isString() || value.toString().trimmed().isEmpty())
                return refuse(u"expected a version string"_s);
            changes.push_back([this, version = value.toString()] { m_state.appVersion = version; });
        } else if (key == u"currency") {
            if (!DemoBusiness::isCurrencyCode(value.toString()))
                return refuse(u"expected three capital letters"_s);
            changes.push_back([this, code = value.toString()] { m_state.demo.settings().currency = code; });
        } else if (key == u"has_sources" || key == u"incomplete") {
            if (!value.isBool())
                return refuse(u"expected true or false"_s);
            bool DemoBusiness::Settings::*field =
                key == u"has_sources" ? &DemoBusiness::Settings::hasSources : &DemoBusiness::Settings::incomplete;
            changes.push_back([this, field, on = value.toBool()] { m_state.demo.settings().*field = on; });
        } else if (key == u"closed_projects") {
            if (!value.isArray())
                return refuse(u"expected a list of project ids"_s);
            QStringList ids;
            for (const QJsonValue id : value.toArray()) {
                if (!id.isString())
                    return refuse(u"expected a list of project ids"_s);
                ids.append(id.toString());
            }
            changes.push_back([this, ids] { m_state.demo.settings().closedProjects = ids; });
        } else if (key == u"clock") {
            const QDateTime instant = QDateTime::fromString(value.toString(), Qt::ISODate);
            if (!instant.isValid())
                return refuse(u"expected an RFC 3339 date-time"_s);
            changes.push_back([this, instant] { m_state.clock.setNow(instant); });
        } else if (key == u"advance_seconds") {
            const qint64 seconds = value.toInteger(-1);
            if (!value.isDouble() || seconds < 0 || double(seconds) != value.toDouble())
                return refuse(u"expected a whole number of seconds"_s);
            changes.push_back([this, seconds] { m_state.clock.advance(seconds); });
        } else {
            return refuse(u"unknown setting"_s);
        }
    }
    for (const auto &change : changes)
        change();
    return HttpReply::json(stateJson());
}

HttpReply ControlRoutes::reset()
{
    // Back to how the service started, except for who is signed in and what was logged.
    m_state.faults.clear();
    m_state.appVersion = ServiceState::defaultAppVersion;
    m_state.demo.restoreSettings();
    m_state.clock.reset();
    return HttpReply::json(stateJson());
}

QJsonObject ControlRoutes::stateJson() const
{
    QJsonArray devices;
    for (const RegisteredDevice &device : m_state.devices) {
        devices.append(QJsonObject{{u"platform"_s, device.platform},
                                   {u"push_token"_s, device.pushToken},
                                   {u"environment"_s, device.environment},
                                   {u"registered_at"_s, device.registeredAt.toString(Qt::ISODate)}});
    }
    const DemoBusiness::Settings &settings = m_state.demo.settings();
    return QJsonObject{
        {u"now"_s, m_state.clock.now().toString(Qt::ISODate)},
        {u"currency"_s, settings.currency},
        {u"has_sources"_s, settings.hasSources},
        {u"incomplete"_s, settings.incomplete},
        {u"closed_projects"_s, QJsonArray::fromStringList(settings.closedProjects)},
        {u"version"_s, m_state.appVersion},
        {u"faults"_s, m_state.faults.toJson()},
        {u"devices"_s, devices},
        {u"live_tokens"_s, qint64(m_state.auth.liveTokenCount())},
    };
}

} // namespace vesko::devservice
