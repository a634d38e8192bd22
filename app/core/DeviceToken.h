#pragma once

#include <QByteArray>
#include <QString>

namespace vesko {

// A push device token as the service stores it: two lower-case hex digits
// per byte, nothing between them.
QString deviceTokenText(const QByteArray &token);

} // namespace vesko
