#pragma once

#include <QString>

#include <optional>

namespace vesko {

namespace json {
class Value;
}

// The signed-in account and its settings.
class Me
{
public:
    struct Fields
    {
        QString id;
        QString name;
        std::optional<QString> email;
        QString currency;
        QString sound; // carried as the service gives it
        bool notifyCancellations;
        bool countEndingSubscriptions;

        friend bool operator==(const Fields &, const Fields &) = default;
    };

    explicit Me(Fields fields)
        : f(std::move(fields))
    {}

    const QString &id() const { return f.id; }
    const QString &name() const { return f.name; }
    const std::optional<QString> &email() const { return f.email; }
    const QString &currency() const { return f.currency; }
    const QString &sound() const { return f.sound; }
    bool notifyCancellations() const { return f.notifyCancellations; }
    bool countEndingSubscriptions() const { return f.countEndingSubscriptions; }

    friend bool operator==(const Me &, const Me &) = default;

    static Me decode(const json::Value &value);

private:
    Fields f;
};

} // namespace vesko
