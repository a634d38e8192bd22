#include "devservice/FaultBook.h"

using namespace Qt::StringLiterals;

namespace vesko::devservice {

namespace {

const QString everyEndpoint = u"*"_s;

} // namespace

const QStringList &FaultBook::endpointNames()
{
    static const QStringList names{u"summary"_s, u"events"_s, u"me"_s, u"token"_s, u"devices"_s, u"appcast"_s};
    return names;
}

bool FaultBook::isName(const QString &name)
{
    return name == everyEndpoint || endpointNames().contains(name);
}

void FaultBook::set(const QString &name, const FaultPlan &plan)
{
    if (plan.isEmpty())
        m_plans.remove(name);
    else
        m_plans.insert(name, plan);
}

void FaultBook::clear()
{
    m_plans.clear();
}

QJsonObject FaultBook::toJson() const
{
    QJsonObject object;
    for (auto it = m_plans.begin(); it != m_plans.end(); ++it)
        object.insert(it.key(), it.value().toJson());
    return object;
}

FaultBook::Decision FaultBook::take(const QString &endpoint)
{
    Decision decision;
    const FaultPlan own = m_plans.value(endpoint);
    const FaultPlan all = m_plans.value(everyEndpoint);
    decision.plan = own.overlaidOn(all);

    for (const QString &name : {endpoint, everyEndpoint}) {
        auto it = m_plans.find(name);
        if (it != m_plans.end() && it->unauthorizedNext.value_or(0) > 0) {
            it->unauthorizedNext = *it->unauthorizedNext - 1;
            decision.unauthorized = true;
            break;
        }
    }
    return decision;
}

} // namespace vesko::devservice
