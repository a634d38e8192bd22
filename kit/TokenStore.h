#pragma once

#include <QString>

#include <optional>

// The API token of the signed-in user, kept in the Secret Service (gnome-keyring,
// KWallet's bridge, KeePassXC) as one item per (service, account) and nowhere
// else: there is no file fallback. Every failure — no session bus, no Secret
// Service, a locked keyring, unusable content — looks like an absent token.
// Nothing throws, nothing is reported, nothing ever waits for an unlock prompt.
// Synchronous; safe to call from any thread.
namespace vesko::TokenStore {

// The stored token, or nothing. Content that is not UTF-8, is empty or holds a
// control character (it could not go into an HTTP header as it is) is nothing,
// and so is a token that only sits in a locked collection.
std::optional<QString> load();

// Removes every stored token, then stores this one in the default collection
// if that is there and unlocked. If storing fails, nothing is stored; a token
// that load() would not return is not stored either.
void save(const QString &token);

// Removes every stored token that can be removed without unlocking anything.
void remove();

} // namespace vesko::TokenStore
