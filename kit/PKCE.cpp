#include "kit/PKCE.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QRandomGenerator>

#include <array>

namespace vesko {

namespace {

QString base64Url(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString randomVerifier()
{
    std::array<quint32, 8> words{}; // 32 bytes
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    const QByteArray bytes(reinterpret_cast<const char *>(words.data()), sizeof(words));
    return base64Url(bytes);
}

} // namespace

PKCE::PKCE()
    : PKCE(randomVerifier())
{}

PKCE::PKCE(QString verifier)
    : m_verifier(std::move(verifier)),
      m_challenge(base64Url(QCryptographicHash::hash(m_verifier.toUtf8(), QCryptographicHash::Sha256)))
{}

} // namespace vesko
