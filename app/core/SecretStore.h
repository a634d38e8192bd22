#pragma once

#include <QString>

#include <functional>
#include <optional>

class QObject;

namespace vesko {

// Where the API token is kept between runs. Silent on every failure: a
// failure looks like an absent token.
class SecretStore
{
public:
    virtual ~SecretStore() = default;
    virtual std::optional<QString> load() = 0;
    // The token handed to `done` on `context`'s thread, for a caller that
    // must not wait; never called once `context` is gone. A store that
    // answers at once answers before this returns.
    // NOLINTNEXTLINE(performance-unnecessary-value-param): overrides keep `done` beyond the call
    virtual void loadLater(QObject *context, std::function<void(std::optional<QString>)> done)
    {
        (void)context;
        done(load());
    }
    virtual void save(const QString &token) = 0;
    virtual void remove() = 0;
    // Removes the stored token only while it is still `token`: another
    // process may have stored a newer one since this one was read.
    virtual void removeIfStill(const QString &token)
    {
        if (load() == token)
            remove();
    }
};

} // namespace vesko
