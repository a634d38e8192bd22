#pragma once

#include "app/core/UrlOpener.h"

namespace vesko {

// Web pages in the user's default browser, through the desktop's URL handling
// (xdg-open where the platform plugin has none).
// Only http and https URLs with a host are opened: anything else (a file, a
// mailto:, another application's scheme) is dropped, so a URL from
// configuration can never start a local program or open a local document.
class DesktopUrlOpener : public UrlOpener
{
public:
    void open(const QUrl &url) override;
};

} // namespace vesko
