#pragma once

#include <QString>

namespace vesko {

// Why an API call did not succeed. Carries no text: the application decides
// what the user is told.
class APIError
{
public:
    enum class Case {
        status,       // an HTTP status outside 200–299 other than 401; 0 when the answer was not HTTP
        unauthorized, // HTTP 401
        offline,      // no answer: network, DNS, TLS, timeout, deadline, size cap, cancellation
    };

    static APIError status(int code) { return APIError(Case::status, code); }
    static APIError unauthorized() { return APIError(Case::unauthorized, 0); }
    static APIError offline() { return APIError(Case::offline, 0); }

    Case kind() const { return m_case; }
    int code() const { return m_code; } // meaningful for `status` only

    friend bool operator==(const APIError &, const APIError &) = default;

    QString toString() const;

private:
    APIError(Case c, int code)
        : m_case(c),
          m_code(code)
    {}

    Case m_case;
    int m_code;
};

} // namespace vesko
