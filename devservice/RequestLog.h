#pragma once

#include "IncomingRequest.h"

#include <QJsonArray>
#include <QList>

namespace vesko::devservice {

// Every request the app side sent, as it arrived, for tests to inspect.
// Bounded, so that a long benchmark cannot grow it without end.
class RequestLog
{
public:
    static constexpr qsizetype capacity = 5000;

    void record(const IncomingRequest &request);
    void clear();
    QJsonArray toJson() const;

private:
    QList<IncomingRequest> m_entries;
};

} // namespace vesko::devservice
