#include "SaleWatcher.h"

#include "AppModel.h"
#include "Money.h"
#include "Notifier.h"
#include "presenters/SaleText.h"

#include <QSettings>

namespace vesko {

namespace {

const QString enabledKey = QStringLiteral("VeskoNotifySales");

} // namespace

SaleWatcher::SaleWatcher(AppModel &model, Notifier &notifier, QSettings &settings, std::function<bool()> pushActive,
                         QObject *parent)
    : QObject(parent), m_model(model), m_notifier(notifier), m_settings(settings), m_pushActive(std::move(pushActive))
{
    connect(&m_model, &AppModel::refreshed, this, &SaleWatcher::refreshed);
    // Another account, or none: its first load is a baseline again.
    connect(&m_model, &AppModel::tokenChanged, this, [this] { m_seen.reset(); });
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
    QSet<QString> ids;
    for (const VeskoEvent &event : events)
        ids.insert(event.id());
    const std::optional<QSet<QString>> seen = std::exchange(m_seen, ids);
    const QDateTime since = std::exchange(m_lastRefresh, m_model.refreshedAt());
    if (!seen || !isEnabled() || (m_pushActive && m_pushActive()))
        return;

    const bool cancellations = m_model.me() && m_model.me()->notifyCancellations();
    QList<VeskoEvent> fresh;
    for (const VeskoEvent &event : events) {
        if (seen->contains(event.id()) || event.occurredAt() < since)
            continue;
        if (event.kind() == VeskoEvent::Kind::cancelled && !cancellations)
            continue;
        fresh.append(event);
    }
    if (fresh.isEmpty())
        return;
    const Money::Mask mask(m_model.hideAmounts());
    Notification notification = saleNotification(fresh);
    const QString sound = m_model.me() ? m_model.me()->sound() : QString();
    if (sound != u"none")
        notification.sound = sound;
    m_notifier.show(notification);
}

} // namespace vesko
