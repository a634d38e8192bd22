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
class Refresh : public QObject
{
    Q_OBJECT

public:
    struct Data
    {
        Summary summary;
        QList<VeskoEvent> events;
        Me me;
    };
    using Failure = std::variant<APIError, DecodingError>;
    using Result = std::variant<Data, Failure>;

    // The token the requests carry, so the model can tell a stale result.
    explicit Refresh(const APIClient &client, QObject *parent = nullptr);

    const QString &token() const { return m_token; }
    // Ends the refresh without a result: `finished` never comes.
    void cancel();

signals:
    void finished(const vesko::Refresh::Result &result);

private:
    void settle();
    void end(const Result &result);

    QString m_token;
    APICall m_calls[3];
    std::optional<Outcome<Summary>> m_summary;
    std::optional<Outcome<QList<VeskoEvent>>> m_events;
    std::optional<Outcome<Me>> m_me;
    bool m_over = false;
};

} // namespace vesko
