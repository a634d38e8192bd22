#include "app/core/DeviceToken.h"

namespace vesko {

QString deviceTokenText(const QByteArray &token)
{
    return QString::fromLatin1(token.toHex());
}

} // namespace vesko
