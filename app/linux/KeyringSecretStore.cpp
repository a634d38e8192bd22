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

} // namespace vesko
