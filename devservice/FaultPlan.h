#pragma once

#include "devservice/HttpReply.h"

#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesko::devservice {

// The misbehaviour set for one endpoint through the control interface. A field
// that is not set leaves that part of the answer alone.
struct FaultPlan
{
    // What is sent.
    std::optional<int> status;           // this status, body {"error": ...}
    std::optional<QString> redirectTo;   // 302 with this Location
    std::optional<int> unauthorizedNext; // the next N calls get 401
    std::optional<bool> malformed;       // a body cut short and ending in garbage
    std::optional<bool> wrongTypes;      // numbers and booleans written as strings
    std::optional<qint64> oversizeBytes; // the real answer padded to this size
    // How it is sent.
    std::optional<int> delayMs;
    std::optional<bool> stall;    // nothing at all, connection kept open
    std::optional<int> trickleMs; // one byte every N ms
    std::optional<bool> truncate; // half the body, then a clean close
    std::optional<bool> reset;    // part of the body, then a reset

    // Reads a control object such as {"status": 503, "delay_ms": 200}; unknown
    // keys and out-of-range values are refused so that a typo cannot pass silently.
    static std::optional<FaultPlan> fromJson(const QJsonObject &object, QString *error);
    QJsonObject toJson() const;
    bool isEmpty() const { return toJson().isEmpty(); }

    // Each field set here wins over the same field of `base`.
    FaultPlan overlaidOn(const FaultPlan &base) const;

    // Applies the content faults that rewrite a successful JSON answer.
    void tamper(HttpReply &reply) const;
};

} // namespace vesko::devservice
