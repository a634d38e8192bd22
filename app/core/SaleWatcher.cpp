#include "app/core/SaleWatcher.h"

#include "app/core/AppModel.h"
#include "app/core/Notifier.h"
#include "app/core/presenters/SaleText.h"
#include "kit/Money.h"

#include <QSettings>

#include <utility>

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

const QString enabledKey = u"VeskoNotifySales"_s;
// Well above what the feed lists at once, so only ids long gone are dropped.
constexpr qsizetype maxSeen = 1024;
constexpr qint64 maxAgeSeconds = qint64{24} * 60 * 60;

} // namespace

SaleWatcher::SaleWatcher(AppModel &model, Notifier &notifier, QSettings &settings, std::function<bool()> pushActive,
                         QObject *parent)
    : QObject(parent),
      m_model(model),
      m_notifier(notifier),
      m_settings(settings),
      m_pushActive(std::move(pushActive))
{
    connect(&m_model, &AppModel::refreshed, this, &SaleWatcher::refreshed);
    // Another account, or none: its first load is a baseline again.
    connect(&m_model, &AppModel::tokenChanged, this, [this] {
        m_seen.reset();
        m_seenOrder.clear();
    });
    // Another project's feed: its events are new here, not news.
    connect(&m_model, &AppModel::projectScopeChanged, this, [this] { m_quietOnce = true; });
}

bool SaleWatcher::isEnabled() const
{
    const QVariant stored = m_settings.value(enabledKey);
    return stored.isValid() ? stored.toBool() : true;
}

void SaleWatcher::setEnabled(bool enabled)
{
    if (enabled == isEnabled())
        return;
    m_settings.setValue(enabledKey, enabled);
    emit enabledChanged();
}

void SaleWatcher::refreshed()
{
    const QList<VeskoEvent> &events = m_model.events();
    const bool baseline = !m_seen || std::exchange(m_quietOnce, false);
    QSet<QString> &seen = m_seen ? *m_seen : m_seen.emplace();
    // Not "since the last refresh": the feed gets events after the service's
    // own sync, and our clock may run ahead of the server's.
    const QDateTime oldest = m_model.refreshedAt().addSecs(-maxAgeSeconds);
    const bool cancellations = m_model.me() && m_model.me()->notifyCancellations();
    QList<VeskoEvent> fresh;
    for (const VeskoEvent &event : events) {
        if (seen.contains(event.id()))
            continue;
        seen.insert(event.id());
        m_seenOrder.append(event.id());
        if (baseline || event.occurredAt() < oldest)
            continue;
        if (event.kind() == VeskoEvent::Kind::cancelled && !cancellations)
            continue;
        fresh.append(event);
    }
    forgetOldest(events);
    if (fresh.isEmpty() || !isEnabled() || (m_pushActive && m_pushActive()))
        return;
    const Money::Mask mask(m_model.hideAmounts());
    Notification notification = saleNotification(fresh);
    const QString sound = m_model.me() ? m_model.me()->sound() : QString();
    if (sound != u"none")
        notification.sound = sound;
    m_notifier.show(notification);
}

void SaleWatcher::forgetOldest(const QList<VeskoEvent> &feed)
{
    qsizetype excess = m_seenOrder.size() - maxSeen;
    if (excess <= 0)
        return;
    // What the feed still lists stays, or it would come back as new.
    QSet<QString> listed;
    for (const VeskoEvent &event : feed)
        listed.insert(event.id());
    m_seenOrder.removeIf([&](const QString &id) {
        if (excess <= 0 || listed.contains(id))
            return false;
        --excess;
        m_seen->remove(id);
        return true;
    });
}

} // namespace vesko
