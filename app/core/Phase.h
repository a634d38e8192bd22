#pragma once

#include <QMetaType>
#include <QString>

namespace vesko {

using namespace Qt::StringLiterals;

// What the panel shows. Two phases are equal when they are the same case and,
// for `failed`, carry the same message.
class Phase
{
    Q_GADGET

public:
    enum class Case {
        failed,
        signedOut,
        signingIn,
        loading,
        ready
    };
    Q_ENUM(Case)

    Phase() = default; // signedOut
    static Phase failed(QString message) { return Phase(Case::failed, std::move(message)); }
    static Phase signedOut() { return Phase(Case::signedOut, {}); }
    static Phase signingIn() { return Phase(Case::signingIn, {}); }
    static Phase loading() { return Phase(Case::loading, {}); }
    static Phase ready() { return Phase(Case::ready, {}); }

    Case kind() const { return m_case; }
    const QString &message() const { return m_message; } // empty unless failed

    friend bool operator==(const Phase &, const Phase &) = default;

    // The only texts a failure ever shows.
    static QString loadFailedMessage() { return u"Something went wrong loading your numbers."_s; }
    static QString offlineMessage() { return u"Vesko cannot be reached. Check your connection."_s; }
    static QString signInFailedMessage() { return u"Signing in did not finish. Try again."_s; }

private:
    Phase(Case c, QString message)
        : m_case(c),
          m_message(std::move(message))
    {}

    Case m_case = Case::signedOut;
    QString m_message;
};

} // namespace vesko

Q_DECLARE_METATYPE(vesko::Phase)
