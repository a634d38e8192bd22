#pragma once

#include "app/core/PushTransport.h"

namespace vesko {

// The desktop has no push service of the platform's own, so registration
// always fails, politely and later. A transport for one (UnifiedPush over
// D-Bus, say) takes this one's place without the model noticing.
class NoPushTransport : public PushTransport
{
    Q_OBJECT

public:
    using PushTransport::PushTransport;

    void registerForPush() override;
};

} // namespace vesko
