#include "devservice/AuthorizationServer.h"

#include "devservice/ServiceClock.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace vesko::devservice {

namespace {

QString base64Url(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString randomSecret()
{
    std::array<quint32, 8> words{}; // 256 bits
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    return base64Url(QByteArray(reinterpret_cast<const char *>(words.data()), sizeof words));
}

bool isAsciiAlphanumeric(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9');
}

// RFC 7636 section 4.1: 43 to 128 unreserved characters.
bool isWellFormedVerifier(const QString &verifier)
{
    return verifier.size() >= 43 && verifier.size() <= 128
           && std::all_of(verifier.begin(), verifier.end(),
                          [](QChar c) { return isAsciiAlphanumeric(c.unicode()) || QStringView(u"-._~").contains(c); });
}

// Takes the same time wherever the first difference is.
bool sameSecret(const QString &a, const QString &b)
{
    if (a.size() != b.size())
        return false;
    char16_t difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= a.at(i).unicode() ^ b.at(i).unicode();
    return difference == 0;
}

} // namespace

AuthorizationServer::AuthorizationServer(const ServiceClock &clock)
    : m_clock(clock)
{}

bool AuthorizationServer::isChallenge(const QString &text)
{
    return text.size() == 43 && std::all_of(text.begin(), text.end(), [](QChar c) {
               return isAsciiAlphanumeric(c.unicode()) || c == u'-' || c == u'_';
           });
}

QString AuthorizationServer::challengeFor(const QString &verifier)
{
    return base64Url(QCryptographicHash::hash(verifier.toUtf8(), QCryptographicHash::Sha256));
}

QString AuthorizationServer::issueCode(const QString &challenge)
{
    forgetStaleGrants();
    QString code = randomSecret();
    m_grants.insert(code, Grant{challenge, m_clock.now().addSecs(codeLifetimeSeconds), false, {}});
    return code;
}

AuthorizationServer::Exchange AuthorizationServer::exchange(const std::optional<QString> &code,
                                                            const std::optional<QString> &verifier)
{
    if (!code || code->isEmpty())
        return {{}, u"invalid_request"_s, u"code is missing"_s};
    auto grant = m_grants.find(*code);
    if (grant == m_grants.end())
        return {{}, u"invalid_grant"_s, u"unknown code"_s};

    if (grant->used) {
        // A code seen twice may have leaked: what it gave out is withdrawn (RFC 6749 section 4.1.2).
        m_tokens.remove(grant->token);
        return {{}, u"invalid_grant"_s, u"code already used"_s};
    }
    // One attempt per code, good or bad, so a verifier cannot be guessed at.
    grant->used = true;

    if (m_clock.now() >= grant->expiresAt)
        return {{}, u"invalid_grant"_s, u"code expired"_s};
    if (!verifier || verifier->isEmpty())
        return {{}, u"invalid_request"_s, u"code_verifier is missing"_s};
    if (!isWellFormedVerifier(*verifier) || !sameSecret(challengeFor(*verifier), grant->challenge))
        return {{}, u"invalid_grant"_s, u"code_verifier does not match the challenge"_s};

    grant->token = issueToken();
    return {grant->token, {}, {}};
}

QString AuthorizationServer::issueToken()
{
    QString token = randomSecret();
    m_tokens.insert(token);
    return token;
}

bool AuthorizationServer::isLive(const QString &token) const
{
    return m_tokens.contains(token);
}

bool AuthorizationServer::revoke(const QString &token)
{
    return m_tokens.remove(token);
}

void AuthorizationServer::forgetStaleGrants()
{
    // Kept an hour past expiry so that a late replay still revokes its token.
    const QDateTime cutoff = m_clock.now().addSecs(qint64{-60} * 60);
    m_grants.removeIf([&](const auto &entry) { return entry.value().expiresAt < cutoff; });
}

} // namespace vesko::devservice
