#pragma once

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>

#include <optional>

namespace vesko::devservice {

class ServiceClock;

// Authorization codes and API tokens for the app's PKCE sign-in (RFC 7636, S256
// only). A code is short-lived, bound to the challenge it was issued for and
// good for one exchange attempt; tokens are opaque random strings.
class AuthorizationServer
{
public:
    static constexpr qint64 codeLifetimeSeconds = qint64{5} * 60;

    // The outcome of an exchange: a token, or an OAuth error code with a reason.
    struct Exchange
    {
        QString token;
        QString error; // "invalid_request" or "invalid_grant"
        QString description;
        bool succeeded() const { return error.isEmpty(); }
    };

    explicit AuthorizationServer(const ServiceClock &clock);

    // 43 characters of base64url: what an S256 challenge always is.
    static bool isChallenge(const QString &text);
    static QString challengeFor(const QString &verifier);

    QString issueCode(const QString &challenge);
    Exchange exchange(const std::optional<QString> &code, const std::optional<QString> &verifier);

    QString issueToken();
    bool isLive(const QString &token) const;
    bool revoke(const QString &token);
    qsizetype liveTokenCount() const { return m_tokens.size(); }

private:
    struct Grant
    {
        QString challenge;
        QDateTime expiresAt;
        bool used = false;
        QString token; // what the one good exchange gave out
    };

    void forgetStaleGrants();

    const ServiceClock &m_clock;
    QHash<QString, Grant> m_grants;
    QSet<QString> m_tokens;
};

} // namespace vesko::devservice
