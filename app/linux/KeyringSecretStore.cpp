#include "KeyringSecretStore.h"

#include "TokenStore.h"

namespace vesko {

std::optional<QString> KeyringSecretStore::load()
{
    return TokenStore::load();
}

void KeyringSecretStore::loadLater(QObject *context, std::function<void(std::optional<QString>)> done)
{
    TokenStore::loadLater(context, std::move(done));
}

void KeyringSecretStore::save(const QString &token)
{
    TokenStore::save(token);
}

void KeyringSecretStore::remove()
{
    TokenStore::remove();
}

void KeyringSecretStore::removeIfStill(const QString &token)
{
    TokenStore::removeIfStill(token);
}

} // namespace vesko
