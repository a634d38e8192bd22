#include "kit/APIClient.h"

#include "kit/DataEnvelope.h"
#include "kit/HttpSession.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

// The code exchange's answer.
struct Token
{
    QString token;

    static Token decode(const json::Value &value)
    {
        const json::Object o(value);
        return Token{o.required<QString>(u"token")};
    }
};

// Request bodies: keys exactly as written, compact.
namespace exchange {
struct Body
{
    QString code;
    QString codeVerifier;
    QByteArray encoded() const
    {
        return QJsonDocument(QJsonObject{{u"code"_s, code}, {u"code_verifier"_s, codeVerifier}})
            .toJson(QJsonDocument::Compact);
    }
};
} // namespace exchange

namespace device {
struct Body
{
    QString platform;
    QString pushToken;
    QString environment;
    QByteArray encoded() const
    {
        return QJsonDocument(QJsonObject{{u"platform"_s, platform},
                                         {u"push_token"_s, pushToken},
                                         {u"environment"_s, environment}})
            .toJson(QJsonDocument::Compact);
    }
};
} // namespace device

// A value that cannot travel in a header line as it is (CR, LF, NUL and
// other controls would split or end it), nor stand as a credential.
bool usableInHeader(const QString &value)
{
    if (value.isEmpty())
        return false;
    for (QChar c : value) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    }
    return true;
}

// Delivers `outcome` from the event loop, as a real call would.
void deliverLater(QObject *context, std::function<void(HttpOutcome)> done, HttpOutcome outcome)
{
    QTimer::singleShot(0, context ? context : QCoreApplication::instance(),
                       [done = std::move(done), outcome = std::move(outcome)] { done(outcome); });
}

} // namespace

template <typename T>
std::function<void(HttpOutcome)> APIClient::decoding(Done<T> done)
{
    return [done = std::move(done)](HttpOutcome outcome) {
        if (outcome.error) {
            done(*outcome.error);
            return;
        }
        std::optional<Outcome<T>> result;
        try {
            result.emplace(std::in_place_index<0>, decodeData<T>(outcome.body));
        } catch (const DecodingError &error) {
            result.emplace(error);
        }
        done(std::move(*result));
    };
}

std::function<void(HttpOutcome)> APIClient::completing(Completion done)
{
    return [done = std::move(done)](const HttpOutcome &outcome) { done(outcome.error); };
}

APICall APIClient::send(const Request &r, QObject *context, std::function<void(HttpOutcome)> done) const
{
    QUrl url = appendingPath(m_config.apiURL(), r.path);
    if (!r.query.isEmpty())
        url.setQuery(r.query, QUrl::StrictMode);

    QNetworkRequest request(url);
    request.setRawHeader("Accept", "application/json");
    if (m_token) {
        if (!usableInHeader(*m_token)) {
            // The service could only refuse it; nothing is sent.
            deliverLater(context, std::move(done), {APIError::unauthorized(), {}});
            return {};
        }
        request.setRawHeader("Authorization", "Bearer " + m_token->toUtf8());
    }
    if (!r.body.isNull())
        request.setRawHeader("Content-Type", "application/json");
    return APICall(HttpCall::start(*m_session, request, r.verb, r.body, context, std::move(done)));
}

APICall APIClient::summary(const QString &project, QObject *context, Done<Summary> done) const
{
    return send({"GET", u"v1/summary", encodedQuery({{u"project"_s, project}}), {}}, context,
                decoding(std::move(done)));
}

APICall APIClient::events(const QString &project, int limit, QObject *context, Done<QList<VeskoEvent>> done) const
{
    const QString query = encodedQuery({{u"project"_s, project}, {u"limit"_s, QString::number(limit)}});
    return send({"GET", u"v1/events", query, {}}, context, decoding(std::move(done)));
}

APICall APIClient::me(QObject *context, Done<Me> done) const
{
    return send({"GET", u"v1/me", {}, {}}, context, decoding(std::move(done)));
}

APICall APIClient::exchange(const QString &code, const QString &verifier, QObject *context, Done<QString> done) const
{
    // A token that could not be sent back safely is no token.
    Done<Token> unwrap = [done = std::move(done)](Outcome<Token> outcome) {
        if (const Token *token = std::get_if<Token>(&outcome)) {
            if (usableInHeader(token->token))
                done(token->token);
            else
                done(DecodingError(DecodingError::Reason::dataCorrupted, u"data.token"_s,
                                   u"token is empty or holds control characters"_s));
        } else if (const APIError *error = std::get_if<APIError>(&outcome)) {
            done(*error);
        } else {
            done(std::get<DecodingError>(outcome));
        }
    };
    return send({"POST", u"v1/app-auth/token", {}, exchange::Body{code, verifier}.encoded()}, context,
                decoding(std::move(unwrap)));
}

APICall APIClient::signOut(QObject *context, Completion done) const
{
    return send({"DELETE", u"v1/app-auth/token", {}, {}}, context, completing(std::move(done)));
}

APICall APIClient::registerDevice(const QString &platform, const QString &pushToken, const QString &environment,
                                  QObject *context, Completion done) const
{
    return send({"POST", u"v1/devices", {}, device::Body{platform, pushToken, environment}.encoded()}, context,
                completing(std::move(done)));
}

} // namespace vesko
