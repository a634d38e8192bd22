#pragma once

#include <QNetworkAccessManager>

#include <chrono>

namespace vesko {

// The one HTTP transport of the process: a single QNetworkAccessManager, so
// connections are reused across calls, and the limits every call runs under.
class HttpSession
{
public:
    struct Limits
    {
        // Fails a call that moves no data for this long.
        std::chrono::milliseconds idleTimeout{20'000};
        // Fails a call that is still running after this long, however much
        // data trickles in: the idle timeout alone never trips on a slow drip.
        std::chrono::milliseconds deadline{60'000};
        // No answer of the service comes near this; more is not an answer.
        qint64 maxBodyBytes = qint64{4} * 1024 * 1024;
        // How far Qt's network thread may read ahead of the call: without a
        // bound it buffers whatever the server sends while the main thread is
        // busy, and the body cap above only sees it later.
        qint64 readAheadBytes = qint64{256} * 1024;
    };

    HttpSession()
        : HttpSession(Limits{})
    {}
    explicit HttpSession(Limits limits)
        : m_limits(limits)
    {}
    HttpSession(const HttpSession &) = delete;
    HttpSession &operator=(const HttpSession &) = delete;

    QNetworkAccessManager &network() { return m_network; }
    const Limits &limits() const { return m_limits; }

private:
    QNetworkAccessManager m_network;
    Limits m_limits;
};

} // namespace vesko
