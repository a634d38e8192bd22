#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace vesko {

// The one-time sign-in code of a callback URL: the value of the first query
// item named exactly "code". Absent when there is no query, no such item, or
// that item has no "=" at all; "code=" is a present, empty code. Scheme, host
// and path play no part.
std::optional<QString> callbackCode(const QUrl &callback);

} // namespace vesko
