#pragma once

#include "SecretStore.h"

namespace vesko {

// The API token in the user's keyring (the Secret Service), through the
// service library's token store.
class KeyringSecretStore : public SecretStore
{
public:
    std::optional<QString> load() override;
    // In the background: the keyring may take its time, up to the deadline.
    void loadLater(QObject *context, std::function<void(std::optional<QString>)> done) override;
    void save(const QString &token) override;
    void remove() override;
    void removeIfStill(const QString &token) override;
};

} // namespace vesko
