#pragma once

#include "kit/Channel.h"

#include <QDateTime>
#include <QHashFunctions>
#include <QString>

#include <optional>

namespace vesko {

// One subscription event: a new, cancelled or reactivated subscription.
class VeskoEvent
{
public:
    // Unlike Channel, Kind has no fallback: an unknown kind fails the response.
    class Kind
    {
    public:
        enum Value : unsigned char {
            new_,
            cancelled,
            reactivated
        };

        // Implicit: a Kind is its Value, as with an enum.
        constexpr Kind(Value value) // NOLINT(google-explicit-constructor)
            : m_value(value)
        {}
        constexpr Value value() const { return m_value; }

        static std::optional<Kind> fromRawValue(QStringView raw);
        QString rawValue() const;

        friend constexpr bool operator==(Kind, Kind) = default;

        static Kind decode(const json::Value &value);

    private:
        Value m_value;
    };

    class ProjectRef
    {
    public:
        ProjectRef(QString id, QString name)
            : m_id(std::move(id)),
              m_name(std::move(name))
        {}

        const QString &id() const { return m_id; }
        const QString &name() const { return m_name; }

        friend bool operator==(const ProjectRef &, const ProjectRef &) = default;

        static ProjectRef decode(const json::Value &value);

    private:
        QString m_id;
        QString m_name;
    };

    struct Fields
    {
        QString id;
        Kind kind;
        Channel channel;
        QDateTime occurredAt;
        std::optional<qint64> amount; // minor units of `currency`
        QString currency;
        std::optional<QString> interval; // as the service names it
        std::optional<QString> planName;
        std::optional<QString> customerLabel;
        ProjectRef project;

        friend bool operator==(const Fields &, const Fields &) = default;
    };

    explicit VeskoEvent(Fields fields)
        : f(std::move(fields))
    {}

    const QString &id() const { return f.id; }
    Kind kind() const { return f.kind; }
    Channel channel() const { return f.channel; }
    const QDateTime &occurredAt() const { return f.occurredAt; }
    std::optional<qint64> amount() const { return f.amount; }
    const QString &currency() const { return f.currency; }
    const std::optional<QString> &interval() const { return f.interval; }
    const std::optional<QString> &planName() const { return f.planName; }
    const std::optional<QString> &customerLabel() const { return f.customerLabel; }
    const ProjectRef &project() const { return f.project; }

    friend bool operator==(const VeskoEvent &, const VeskoEvent &) = default;

    static VeskoEvent decode(const json::Value &value);

private:
    Fields f;
};

size_t qHash(VeskoEvent::Kind kind, size_t seed = 0) noexcept;

} // namespace vesko

template <>
struct std::hash<vesko::VeskoEvent::Kind>
{
    size_t operator()(vesko::VeskoEvent::Kind kind) const noexcept
    {
        return std::hash<unsigned>()(static_cast<unsigned>(kind.value()));
    }
};
