#pragma once

#include "tests/support/DevServiceProcess.h"

#include <QJsonObject>
#include <QUrl>

#include <optional>

namespace vesko::bench {

// A vesko-devservice of its own on a free port, stopped with this object, and
// the calls the benchmarks make to it. Every call here waits for its answer
// and travels on a connection of its own, which it closes: so exactly one
// connection in the service's count is each such call's.
class DevService
{
public:
    // Empty when the service is up.
    const QString &failure() const { return m_process.failure(); }
    QUrl base() const { return m_process.url(QString()); }

    struct Answer
    {
        int status = 0; // 0: no answer
        QByteArray body;
    };
    Answer call(const QByteArray &verb, const QString &pathAndQuery, const QByteArray &body = {},
                const QString &token = {}) const;

    // POST /_control with this object; true when the service took it.
    bool control(const QJsonObject &faults) const;
    bool resetControl() const;

    struct Stats
    {
        qint64 connections = 0; // accepted so far, this call's own included
        qint64 requests = 0;    // API and page requests so far, control calls not counted
    };
    std::optional<Stats> stats() const;

    // A token the service accepts, as if someone had signed in; empty on failure.
    QString grantToken() const;

private:
    DevServiceProcess m_process;
};

} // namespace vesko::bench
