#include "app/linux/NoPushTransport.h"

using namespace Qt::StringLiterals;

namespace vesko {

void NoPushTransport::registerForPush()
{
    QMetaObject::invokeMethod(
        this, [this] { emit registrationFailed(u"no push service is available on this desktop"_s); },
        Qt::QueuedConnection);
}

} // namespace vesko
