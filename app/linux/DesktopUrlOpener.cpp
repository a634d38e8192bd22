#include "DesktopUrlOpener.h"

#include <QDesktopServices>

namespace vesko {

namespace {

bool isWebPage(const QUrl &url)
{
    // QUrl keeps schemes in lower case, so "HTTPS:" is here "https".
    const QString scheme = url.scheme();
    return url.isValid() && (scheme == u"https" || scheme == u"http") && !url.host().isEmpty();
}

} // namespace

void DesktopUrlOpener::open(const QUrl &url)
{
    // The outcome is not ours to act on: nothing is shown either way.
    if (isWebPage(url))
        QDesktopServices::openUrl(url);
}

} // namespace vesko
