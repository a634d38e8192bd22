#pragma once

#include "devservice/IncomingRequest.h"

#include <QJsonArray>
#include <QList>

namespace vesko::devservice {

// Every request the app side sent, as it arrived, for tests to inspect;
// credentials only as fingerprints (see fingerprint()). Bounded, so that a
// long benchmark cannot grow it without end.
class RequestLog
{
public:
    static constexpr qsizetype capacity = 5000;

    // What the log shows in place of a bearer token, sign-in code or code
    // verifier: enough to tell which one came, too little to use it.
    // "sha256:" and the first 16 hex digits of the SHA-256 of its bytes.
    static QString fingerprint(const QByteArray &secret);

    void record(const IncomingRequest &request);
    void clear();
    QJsonArray toJson() const;

private:
    QList<IncomingRequest> m_entries;
};

} // namespace vesko::devservice
