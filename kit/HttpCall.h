#pragma once

#include "kit/APIError.h"

#include <QByteArray>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <optional>

class QNetworkReply;

namespace vesko {

class HttpSession;

// The classified answer of one request: an error, or the body of a 2xx.
struct HttpOutcome
{
    std::optional<APIError> error;
    QByteArray body;
};

// One request in flight. Sends once, enforces the session's limits, follows
// redirects only within the request's origin (so the bearer token never
// reaches another host), and delivers exactly one outcome from the event
// loop — never from inside start() or cancel(). Deletes itself afterwards.
class HttpCall : public QObject
{
    Q_OBJECT

public:
    using Done = std::function<void(HttpOutcome)>;

    // `done` is dropped, and the request aborted, when `context` is destroyed first.
    static HttpCall *start(HttpSession &session, const QNetworkRequest &request, const QByteArray &verb,
                           const QByteArray &body, QObject *context, Done done);

    // Ends the call as `offline`.
    void cancel();
    bool isDelivered() const { return m_delivered; }

private:
    enum class Abort {
        none,
        cancelled,
        deadline,
        tooLarge,
        crossOriginRedirect
    };

    HttpCall(HttpSession &session, QObject *context, Done done);
    void watch(QNetworkReply *reply);
    void abortWith(Abort reason);
    void onFinished();
    HttpOutcome classify() const;
    bool isCutShort() const;
    void deliver(HttpOutcome outcome);

    QPointer<QNetworkReply> m_reply;
    Done m_done;
    QTimer m_deadline;
    QByteArray m_body;
    qint64 m_maxBodyBytes;
    Abort m_abort = Abort::none;
    int m_redirectStatus = 0;
    bool m_delivered = false;
};

// The caller's handle on a call: lets it cancel, and tells whether it still runs.
class APICall
{
public:
    APICall() = default;
    explicit APICall(HttpCall *call)
        : m_call(call)
    {}

    void cancel()
    {
        if (m_call)
            m_call->cancel();
    }
    bool isRunning() const { return m_call && !m_call->isDelivered(); }

private:
    QPointer<HttpCall> m_call;
};

} // namespace vesko
