#pragma once

#include <QObject>
#include <QUrl>

#include <optional>

namespace vesko {

// A sign-in in the system browser: opens the connect page and waits for the
// first callback URL of Vesko's scheme, or for the user to give up.
// Ends exactly once, with `finished`.
class BrowserSession : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void start(const QUrl &url) = 0;
    // A vesko: URL handed over by the browser (through a second process).
    // Taken only while this session waits, and only once.
    virtual bool receive(const QUrl &callback) = 0;
    // The user gave up: ends like a closed browser sheet (no URL, an error).
    virtual void cancel() = 0;

signals:
    void finished(const std::optional<QUrl> &callback, bool failed);
};

} // namespace vesko
