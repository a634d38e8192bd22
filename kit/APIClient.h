#pragma once

#include "kit/APIError.h"
#include "kit/DecodingError.h"
#include "kit/HttpCall.h"
#include "kit/Me.h"
#include "kit/Summary.h"
#include "kit/VeskoConfig.h"
#include "kit/VeskoEvent.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <variant>

namespace vesko {

class HttpSession;

// What a data call ends with: the payload, the classified failure, or the
// decoding error of a 2xx answer that did not decode (handed on unchanged).
template <typename T>
using Outcome = std::variant<T, APIError, DecodingError>;

// The project that stands for all of the account's projects together.
inline constexpr QLatin1StringView allProjects("all");

// The one door to the service's JSON API. A small value: base URLs, the
// token (absent only for the code exchange) and the shared transport.
// Every operation sends one request, once, and calls `done` exactly once
// from the event loop — unless `context` is destroyed first, which aborts
// the request and drops `done`. The returned handle cancels (as `offline`).
class APIClient
{
public:
    template <typename T>
    using Done = std::function<void(Outcome<T>)>;
    using Completion = std::function<void(std::optional<APIError>)>;

    APIClient(VeskoConfig config, std::optional<QString> token, HttpSession &session)
        : m_config(std::move(config)),
          m_token(std::move(token)),
          m_session(&session)
    {}

    const VeskoConfig &config() const { return m_config; }
    const std::optional<QString> &token() const { return m_token; }

    APICall summary(const QString &project, QObject *context, Done<Summary> done) const;
    // The newest events of `project` ("all": every project), at most `limit`.
    APICall events(const QString &project, int limit, QObject *context, Done<QList<VeskoEvent>> done) const;
    APICall me(QObject *context, Done<Me> done) const;
    // Trades a sign-in code and its PKCE verifier for the API token.
    APICall exchange(const QString &code, const QString &verifier, QObject *context, Done<QString> done) const;
    // Revokes the token on the service. The answer's body is ignored.
    APICall signOut(QObject *context, Completion done) const;
    APICall registerDevice(const QString &platform, const QString &pushToken, const QString &environment,
                           QObject *context, Completion done) const;

private:
    struct Request
    {
        QByteArray verb;
        QStringView path;
        QString query;   // empty: no "?" at all
        QByteArray body; // null: no body and no Content-Type
    };

    APICall send(const Request &request, QObject *context, std::function<void(HttpOutcome)> done) const;

    template <typename T>
    static std::function<void(HttpOutcome)> decoding(Done<T> done);
    static std::function<void(HttpOutcome)> completing(Completion done);

    VeskoConfig m_config;
    std::optional<QString> m_token;
    HttpSession *m_session;
};

} // namespace vesko
