#pragma once

#include <QString>

#include <exception>

namespace vesko {

// Why a response did not decode. One error fails the whole response: no
// partially decoded record or list is ever handed on.
class DecodingError : public std::exception
{
public:
    enum class Reason {
        malformedJson, // not JSON at all, or not UTF-8
        keyNotFound,   // a required key is missing
        valueNotFound, // a required key holds null
        typeMismatch,  // a value of the wrong JSON type, or a number that is no int64
        dataCorrupted, // the right type with an unusable value (bad date, unknown kind)
    };

    DecodingError(Reason reason, QString path, QString detail);

    Reason reason() const { return m_reason; }
    // Where it failed, for example "data[2].kind"; empty for the document itself.
    const QString &path() const { return m_path; }
    const QString &detail() const { return m_detail; }

    // "data[2].kind: ..." — never carries a value from the response except
    // where the detail names it on purpose (an unknown kind), and then cut short.
    QString message() const;
    const char *what() const noexcept override { return m_what.constData(); }

private:
    Reason m_reason;
    QString m_path;
    QString m_detail;
    QByteArray m_what;
};

} // namespace vesko
