#pragma once

#include <QString>

namespace vesko {

// The computer's name as the user knows it (for the sign-in page to name the
// device). Empty when the system has none.
class HostName
{
public:
    virtual ~HostName() = default;
    virtual QString userVisibleName() const = 0;
};

} // namespace vesko
