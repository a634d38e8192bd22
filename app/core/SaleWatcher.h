#pragma once

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>

class QSettings;

namespace vesko {

class AppModel;
class Notifier;

// Sale notifications without a push service: each refresh's events are
// compared with the last refresh's, and what is new since then (by id, and
// not older than that refresh) is notified. The first load after start or
// sign-in only sets the baseline. Cancellations only when the account asks
// for them; the account's sound, "none" or empty meaning silence.
class SaleWatcher : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool enabled READ isEnabled WRITE setEnabled NOTIFY enabledChanged)

public:
    // `pushActive`: a push transport delivers notifications itself.
    SaleWatcher(AppModel &model, Notifier &notifier, QSettings &settings, std::function<bool()> pushActive,
                QObject *parent = nullptr);

    // "Notify about new subscriptions", stored in the settings, on by default.
    bool isEnabled() const;
    void setEnabled(bool enabled);

signals:
    void enabledChanged();

private:
    void refreshed();

    AppModel &m_model;
    Notifier &m_notifier;
    QSettings &m_settings;
    std::function<bool()> m_pushActive;
    std::optional<QSet<QString>> m_seen; // none until the baseline load
    QDateTime m_lastRefresh;
};

} // namespace vesko
