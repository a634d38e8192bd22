#include "app/core/Refresh.h"

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

template <typename T>
std::optional<Refresh::Failure> failureOf(const Outcome<T> &outcome)
{
    if (const APIError *error = std::get_if<APIError>(&outcome))
        return *error;
    if (const DecodingError *error = std::get_if<DecodingError>(&outcome))
        return *error;
    return std::nullopt;
}

} // namespace

Refresh::Refresh(const APIClient &client, const QString &scope, QObject *parent)
    : QObject(parent),
      m_token(client.token().value_or(QString())),
      m_scope(scope)
{
    m_calls[0] = client.summary(scope, this, [this](Outcome<Summary> o) {
        m_summary = std::move(o);
        settle();
    });
    m_calls[1] = client.events(scope, 5, this, [this](Outcome<QList<VeskoEvent>> o) {
        m_events = std::move(o);
        settle();
    });
    m_calls[2] = client.me(this, [this](Outcome<Me> o) {
        m_me = std::move(o);
        settle();
    });
    if (scope != allProjects) {
        m_calls[3] = client.summary(allProjects, this, [this](Outcome<Summary> o) {
            m_account = std::move(o);
            settle();
        });
    }
}

void Refresh::settle()
{
    // Walk the fixed order as far as results have come in.
    if (m_over || !m_summary)
        return;
    if (auto failure = failureOf(*m_summary))
        return end(*failure);
    if (!m_events)
        return;
    if (auto failure = failureOf(*m_events))
        return end(*failure);
    if (!m_me)
        return;
    if (auto failure = failureOf(*m_me))
        return end(*failure);
    const bool scoped = m_scope != allProjects;
    if (scoped && !m_account)
        return;
    if (scoped) {
        if (auto failure = failureOf(*m_account))
            return end(*failure);
    }
    Data data{std::get<Summary>(std::move(*m_summary)),
              std::get<QList<VeskoEvent>>(std::move(*m_events)),
              std::get<Me>(std::move(*m_me)),
              {}};
    data.projects = scoped ? std::get<Summary>(*m_account).byProject() : data.summary.byProject();
    // A service that does not filter its feed by project: the other projects'
    // events must not show under this one.
    if (scoped)
        data.events.removeIf([this](const VeskoEvent &event) { return event.project().id() != m_scope; });
    end(data);
}

void Refresh::end(const Result &result)
{
    if (m_over)
        return;
    m_over = true;
    for (APICall &call : m_calls)
        call.cancel(); // the ones still running; their outcomes are dropped
    deleteLater();
    emit finished(result);
}

void Refresh::cancel()
{
    if (m_over)
        return;
    m_over = true;
    for (APICall &call : m_calls)
        call.cancel();
    deleteLater();
}

} // namespace vesko
