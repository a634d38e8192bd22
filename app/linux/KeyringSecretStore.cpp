#include "KeyringSecretStore.h"

#include "TokenStore.h"

namespace vesko {

std::optional<QString> KeyringSecretStore::load()
{
    return TokenStore::load();
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
