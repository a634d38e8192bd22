#pragma once

#include "app/core/Version.h"

#include <QString>
#include <QUrl>

namespace vesko {

// One release an update feed offers: what it is, what to call it, and the web
// page where the user gets it (always http or https).
struct AppcastRelease
{
    Version version;
    QString displayVersion;
    QUrl downloadPage;
};

} // namespace vesko
