#pragma once

#include <QString>

namespace vesko {

// The decoder's key strategy: a snake-case wire key becomes the camel-case
// field name ("last_synced_at" -> "lastSyncedAt"). Leading and trailing
// underscores stay where they are, and a key without inner underscores is
// returned unchanged, so camel-case wire keys match as they are.
QString convertFromSnakeCase(const QString &key);

} // namespace vesko
