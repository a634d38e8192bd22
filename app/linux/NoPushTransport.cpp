#include "NoPushTransport.h"

namespace vesko {

void NoPushTransport::registerForPush()
{
    QMetaObject::invokeMethod(
        this, [this] { emit registrationFailed(QStringLiteral("no push service is available on this desktop")); },
        Qt::QueuedConnection);
}

} // namespace vesko
