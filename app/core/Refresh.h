#pragma once

#include "kit/APIClient.h"

#include <QObject>

#include <optional>
#include <variant>

namespace vesko {

// One refresh: summary, events and account record requested at once, and
// their results taken in that fixed order. The first failure in that order
// decides, and the requests still running are cancelled. Ends exactly once
// with `finished`, unless cancelled first. Deletes itself afterwards.
// Scoped to one project, it also asks for the whole account's summary (last
// in the order): only that one names every project.
class Refresh : public QObject
{
    Q_OBJECT

public:
    struct Data
    {
        Summary summary; // of the scope
        QList<VeskoEvent> events;
        Me me;
        QList<ProjectAmount> projects; // all of the account's, in service order
    };
    using Failure = std::variant<APIError, DecodingError>;
    using Result = std::variant<Data, Failure>;

    // The token the requests carry, so the model can tell a stale result.
    // `scope`: "all", or the id of the one project to show.
    Refresh(const APIClient &client, const QString &scope, QObject *parent = nullptr);

    const QString &token() const { return m_token; }
    // Ends the refresh without a result: `finished` never comes.
    void cancel();

signals:
    void finished(const vesko::Refresh::Result &result);

private:
    void settle();
    void end(const Result &result);

    QString m_token;
    QString m_scope;
    APICall m_calls[4];
    std::optional<Outcome<Summary>> m_summary;
    std::optional<Outcome<QList<VeskoEvent>>> m_events;
    std::optional<Outcome<Me>> m_me;
    std::optional<Outcome<Summary>> m_account; // the unscoped summary; unasked when unscoped
    bool m_over = false;
};

} // namespace vesko
