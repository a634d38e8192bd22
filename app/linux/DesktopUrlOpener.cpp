#include "app/linux/DesktopUrlOpener.h"

#include <QDesktopServices>
#include <QProcess>

using namespace Qt::StringLiterals;

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
    if (!isWebPage(url))
        return;
    // Some platform plugins (offscreen, minimal, a few kiosk setups) open
    // nothing; xdg-open still reaches the user's browser there. An argument,
    // never a shell line.
    if (!QDesktopServices::openUrl(url))
        QProcess::startDetached(u"xdg-open"_s, {url.toString(QUrl::FullyEncoded)});
}

} // namespace vesko
