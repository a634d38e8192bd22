#pragma once

#include "devservice/FaultPlan.h"

#include <QHash>
#include <QJsonObject>
#include <QStringList>

namespace vesko::devservice {

// The faults currently set, per endpoint name, with "*" standing for all of them.
class FaultBook
{
public:
    // What one call to an endpoint gets.
    struct Decision
    {
        FaultPlan plan;
        bool unauthorized = false; // one of the "unauthorized_next" calls
    };

    static const QStringList &endpointNames(); // without "*"
    static bool isName(const QString &name);   // an endpoint name or "*"

    // An empty plan clears the name.
    void set(const QString &name, const FaultPlan &plan);
    void clear();
    QJsonObject toJson() const;

    // Consumes one "unauthorized_next" count where one is due: the endpoint's own first, then "*".
    Decision take(const QString &endpoint);

private:
    QHash<QString, FaultPlan> m_plans;
};

} // namespace vesko::devservice
