#pragma once

#include "app/core/BrowserSession.h"

#include <QTimer>

#include <chrono>

namespace vesko {

class UrlOpener;

// Sign-in through the user's default browser. The browser comes back by
// starting `vesko vesko://…`, which the running instance hands to receive().
// There is no browser sheet to close, so a session that nobody answers
// expires, and the user can cancel it.
class DesktopBrowserSession : public BrowserSession
{
    Q_OBJECT

public:
    explicit DesktopBrowserSession(UrlOpener &opener, std::chrono::milliseconds expiry = std::chrono::minutes(10),
                                   QObject *parent = nullptr);

    void start(const QUrl &url) override;
    bool receive(const QUrl &callback) override;
    void cancel() override;

private:
    void finish(const std::optional<QUrl> &callback, bool failed);

    UrlOpener &m_opener;
    QTimer m_expiry;
    bool m_waiting = false;
};

} // namespace vesko
