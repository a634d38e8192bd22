#pragma once

#include "app/core/SecretStore.h"

#include <chrono>

namespace vesko {

// The API token of the signed-in user, kept in the Secret Service (gnome-keyring,
// KWallet's bridge, KeePassXC) as one item per (service, account) and nowhere
// else: there is no file fallback. Every failure — no session bus, no Secret
// Service, a locked keyring, unusable content — looks like an absent token.
// Nothing throws, nothing is reported, nothing ever waits for an unlock prompt.
// Synchronous but for loadLater(), and each call gives up after a few
// seconds: a frozen keyring daemon or a bus that never answers must not hold
// its caller (the tray's event loop) for D-Bus's 25 s, or for ever. Calls, from
// every store in the process, run one after another on a thread of their own,
// so one given up on never overtakes a later one. Safe to call from any thread.
class KeyringSecretStore : public SecretStore
{
public:
    // The stored token, or nothing. Content that is not UTF-8, is empty or holds a
    // control character (it could not go into an HTTP header as it is) is nothing,
    // and so is a token that only sits in a locked collection.
    std::optional<QString> load() override;

    // What load() would return, handed to `done` on `context`'s thread from its
    // event loop, without waiting for it; nothing once the deadline passes. If
    // `context` goes first, `done` is never called.
    void loadLater(QObject *context, std::function<void(std::optional<QString>)> done) override;

    // Removes every stored token, then stores this one in the default collection
    // if that is there and unlocked. If storing fails, nothing is stored; a token
    // that load() would not return is not stored either.
    void save(const QString &token) override;

    // Removes every stored token that can be removed without unlocking anything.
    void remove() override;

    // Removes the stored token only while it is still this one: a token refused
    // by the service may since have been replaced by another process's sign-in.
    void removeIfStill(const QString &token) override;

    // How long a call waits for the keyring before it gives up.
    static std::chrono::milliseconds deadline();
};

} // namespace vesko
