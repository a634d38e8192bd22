#include "kit/HttpCall.h"

#include "kit/HttpSession.h"

#include <QLoggingCategory>
#include <QNetworkReply>

using namespace Qt::StringLiterals;

namespace vesko {

// Method, path and outcome only: never a header, query or body, which may
// carry the token, a sign-in code or a verifier.
Q_LOGGING_CATEGORY(lcHttp, "vesko.http", QtWarningMsg)

namespace {

bool sameOrigin(const QUrl &a, const QUrl &b)
{
    return a.scheme() == b.scheme() && a.host() == b.host() && a.port(-1) == b.port(-1);
}

// Errors Qt derives from an HTTP status it did receive: the status decides.
// Every other error means no complete answer arrived.
bool isStatusError(QNetworkReply::NetworkError error)
{
    const int e = error;
    return e == QNetworkReply::NoError || (e >= 201 && e <= 299) || e == QNetworkReply::ProtocolInvalidOperationError
           || (e >= 401 && e <= 499);
}

} // namespace

HttpCall::HttpCall(HttpSession &session, QObject *context, Done done)
    : QObject(&session.network()),
      m_done(std::move(done)),
      m_maxBodyBytes(session.limits().maxBodyBytes)
{
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(session.limits().deadline);
    connect(&m_deadline, &QTimer::timeout, this, [this] { abortWith(Abort::deadline); });
    if (context) {
        connect(context, &QObject::destroyed, this, [this] {
            m_done = nullptr;
            abortWith(Abort::cancelled);
        });
    }
}

HttpCall *HttpCall::start(HttpSession &session, const QNetworkRequest &request, const QByteArray &verb,
                          const QByteArray &body, QObject *context, Done done)
{
    auto *call = new HttpCall(session, context, std::move(done));
    QNetworkRequest r = request;
    r.setTransferTimeout(int(session.limits().idleTimeout.count()));
    r.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    r.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    QNetworkAccessManager &network = session.network();
    QNetworkReply *reply = verb == "GET"      ? network.get(r)
                           : verb == "POST"   ? network.post(r, body)
                           : verb == "DELETE" ? network.deleteResource(r)
                                              : network.sendCustomRequest(r, verb, body);
    reply->setReadBufferSize(session.limits().readAheadBytes);
    call->watch(reply);
    qCDebug(lcHttp) << verb.constData() << request.url().path() << "sent";
    return call;
}

void HttpCall::watch(QNetworkReply *reply)
{
    m_reply = reply;
    reply->setParent(this);
    const QUrl origin = reply->request().url();
    connect(reply, &QNetworkReply::redirected, this, [this, origin](const QUrl &target) {
        if (sameOrigin(origin, target)) {
            emit m_reply->redirectAllowed();
            return;
        }
        m_redirectStatus = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        abortWith(Abort::crossOriginRedirect);
    });
    connect(reply, &QNetworkReply::metaDataChanged, this, [this] {
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > m_maxBodyBytes)
            abortWith(Abort::tooLarge);
    });
    connect(reply, &QIODevice::readyRead, this, [this] {
        m_body += m_reply->readAll();
        if (m_body.size() > m_maxBodyBytes)
            abortWith(Abort::tooLarge);
    });
    connect(reply, &QNetworkReply::finished, this, &HttpCall::onFinished);
    m_deadline.start();
}

void HttpCall::cancel()
{
    abortWith(Abort::cancelled);
}

void HttpCall::abortWith(Abort reason)
{
    if (m_abort != Abort::none || !m_reply || m_reply->isFinished())
        return;
    m_abort = reason;
    m_reply->abort(); // emits finished() at once
}

void HttpCall::onFinished()
{
    m_deadline.stop();
    // Qt closes a reply it ended itself (the idle timeout): nothing is left to read.
    if (m_reply && m_abort == Abort::none && m_reply->isOpen())
        m_body += m_reply->readAll();
    HttpOutcome outcome = classify();
    qCDebug(lcHttp) << m_reply->operation() << m_reply->request().url().path() << "->"
                    << (outcome.error ? outcome.error->toString() : u"ok"_s);
    // Out of the reply's own signal, and out of any cancel() on the stack.
    QMetaObject::invokeMethod(
        this, [this, outcome = std::move(outcome)]() mutable { deliver(std::move(outcome)); }, Qt::QueuedConnection);
}

HttpOutcome HttpCall::classify() const
{
    switch (m_abort) {
    case Abort::none:
        break;
    case Abort::crossOriginRedirect:
        return {APIError::status(m_redirectStatus), {}};
    case Abort::cancelled:
    case Abort::deadline:
    case Abort::tooLarge:
        return {APIError::offline(), {}};
    }

    const QNetworkReply::NetworkError error = m_reply->error();
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!isStatusError(error))
        return {APIError::offline(), {}};
    // An answer, but not an HTTP one (Qt dresses file replies up with a 200).
    const QString scheme = m_reply->url().scheme();
    if (!status.isValid() || (scheme != u"http" && scheme != u"https"))
        return {APIError::status(0), {}};
    const int code = status.toInt();
    if (code == 401)
        return {APIError::unauthorized(), {}};
    if (code >= 200 && code <= 299) {
        // A body Qt could not decode (a corrupt or runaway compressed one)
        // arrives with a 2xx and a content error: what came is not the answer.
        if (error != QNetworkReply::NoError || isCutShort())
            return {APIError::offline(), {}};
        return {std::nullopt, m_body};
    }
    return {APIError::status(code), {}};
}

// Qt reports a connection reset in mid-body as a clean finish now and then;
// only the announced length tells the answer is not whole. (A compressed body
// is announced in its compressed size, and checked by its decompressor.)
bool HttpCall::isCutShort() const
{
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (!length.isValid() || m_reply->hasRawHeader("Content-Encoding"))
        return false;
    return m_body.size() != length.toLongLong();
}

void HttpCall::deliver(HttpOutcome outcome)
{
    if (m_delivered)
        return;
    m_delivered = true;
    Done done = std::move(m_done); // empty when the caller's context is gone
    deleteLater();
    if (done)
        done(std::move(outcome));
}

} // namespace vesko
