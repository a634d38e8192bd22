#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>

class QSettings;

namespace vesko {

class AppModel;
class VeskoEvent;
class Notifier;

// Sale notifications without a push service: every event whose id no
// refresh has shown before is notified, however late it reached the feed,
// unless it is more than a day old. The first load after start or sign-in
// only sets the baseline. Cancellations only when the account asks for them;
// the account's sound, "none" or empty meaning silence.
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
    void forgetOldest(const QList<VeskoEvent> &feed);

    AppModel &m_model;
    Notifier &m_notifier;
    QSettings &m_settings;
    std::function<bool()> m_pushActive;
    // Ids already seen, and the same ids oldest first; none until the
    // baseline load. Bounded: the feed's own ids are always kept, older ones
    // only up to a cap.
    std::optional<QSet<QString>> m_seen;
    QList<QString> m_seenOrder;
    bool m_quietOnce = false; // the next load only adds to what was seen
};

} // namespace vesko
