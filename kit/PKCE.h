#pragma once

#include <QString>

namespace vesko {

// The proof key of one browser sign-in (RFC 7636, method S256). Lives in
// memory for that one attempt and is never stored.
class PKCE
{
public:
    // A fresh pair: 32 bytes from the system's CSPRNG as a 43-character verifier.
    PKCE();
    // The pair for a given verifier, taken as it is (any length, any characters).
    explicit PKCE(QString verifier);

    const QString &verifier() const { return m_verifier; }
    // Unpadded base64url of SHA-256 over the verifier's UTF-8 bytes: 43 characters.
    const QString &challenge() const { return m_challenge; }

private:
    QString m_verifier;
    QString m_challenge;
};

} // namespace vesko
