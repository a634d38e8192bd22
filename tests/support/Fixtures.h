#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

// Well-formed payloads as the service sends them; tests mutate copies.
namespace fixtures {

inline QJsonObject summary()
{
    return QJsonObject{
        {"currency", "USD"},
        {"mrr", 1234567},
        {"arr", 14814804},
        {"active", 312},
        {"new", 14},
        {"cancelled", 3},
        {"growth", 12.4},
        {"ending", 4999},
        {"by_channel", QJsonArray{QJsonObject{{"channel", "web"}, {"mrr", 800000}},
                                  QJsonObject{{"channel", "app_store"}, {"mrr", 434567}}}},
        {"by_project",
         QJsonArray{QJsonObject{{"id", "p1"}, {"name", "Snoutly"}, {"color", "#2340FF"}, {"mrr", 1234567}}}},
        {"has_sources", true},
        {"incomplete", false},
        {"last_synced_at", "2026-03-01T09:30:00Z"},
    };
}

inline QJsonObject event(const QString &id = QStringLiteral("ev_1"))
{
    return QJsonObject{
        {"id", id},
        {"kind", "new"},
        {"channel", "play_store"},
        {"occurred_at", "2026-03-01T11:30:00+02:00"},
        {"amount", 999},
        {"currency", "EUR"},
        {"interval", "month"},
        {"plan_name", "Pro"},
        {"customer_label", "ada@example.com"},
        {"project", QJsonObject{{"id", "p1"}, {"name", "Snoutly"}}},
    };
}

inline QJsonObject me()
{
    return QJsonObject{
        {"id", "u1"},
        {"name", "Ada"},
        {"email", "ada@example.com"},
        {"currency", "USD"},
        {"sound", "default"},
        {"notify_cancellations", true},
        {"count_ending_subscriptions", false},
    };
}

inline QByteArray envelope(const QJsonValue &data)
{
    return QJsonDocument(QJsonObject{{"data", data}}).toJson(QJsonDocument::Compact);
}

} // namespace fixtures
