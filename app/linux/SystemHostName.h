#pragma once

#include "app/core/HostName.h"

#include <QSysInfo>

#include <chrono>
#include <functional>

namespace vesko {

// The computer's name the way the desktop shows it: hostnamed's pretty name
// ("Jane's Laptop"), else its static host name, else its transient one, else
// the kernel's. A machine name of "localhost" names nothing and counts as none.
// hostnamed gets one call with a short timeout, so a missing or stuck one
// never holds up sign-in.
class SystemHostName : public HostName
{
public:
    explicit SystemHostName(std::chrono::milliseconds timeout = std::chrono::seconds(1),
                            std::function<QString()> kernelHostName = &QSysInfo::machineHostName);

    QString userVisibleName() const override;

private:
    std::chrono::milliseconds m_timeout;
    std::function<QString()> m_kernelHostName;
};

} // namespace vesko
