#include "app/core/DesktopBrowserSession.h"

#include "app/core/UrlOpener.h"

namespace vesko {

DesktopBrowserSession::DesktopBrowserSession(UrlOpener &opener, std::chrono::milliseconds expiry, QObject *parent)
    : BrowserSession(parent),
      m_opener(opener)
{
    m_expiry.setSingleShot(true);
    m_expiry.setInterval(expiry);
    connect(&m_expiry, &QTimer::timeout, this, [this] { finish(std::nullopt, true); });
}

void DesktopBrowserSession::start(const QUrl &url)
{
    m_waiting = true;
    m_expiry.start();
    m_opener.open(url);
}

bool DesktopBrowserSession::receive(const QUrl &callback)
{
    if (!m_waiting || callback.scheme() != u"vesko")
        return false;
    finish(callback, false);
    return true;
}

void DesktopBrowserSession::cancel()
{
    finish(std::nullopt, true);
}

void DesktopBrowserSession::finish(const std::optional<QUrl> &callback, bool failed)
{
    if (!m_waiting)
        return;
    m_waiting = false;
    m_expiry.stop();
    emit finished(callback, failed);
}

} // namespace vesko
