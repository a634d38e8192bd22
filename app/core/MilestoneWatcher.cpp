#include "app/core/MilestoneWatcher.h"

#include "app/core/AppModel.h"
#include "app/core/Milestones.h"
#include "app/core/Notifier.h"
#include "app/core/RevenueHistory.h"
#include "kit/Money.h"

#include <QSettings>

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

const QString enabledKey = u"VeskoNotifyMilestones"_s;
// Below every round figure: marked the first time a scope is seen at all, so
// that the baseline is remembered across runs like the milestones themselves.
constexpr qint64 baselineMark = 0;

Notification milestoneNotification(qint64 figure, qint64 mrr, const QString &currency)
{
    return {u"Your MRR passed "_s + Money::compact(figure, currency),
            u"It is "_s + Money::compact(mrr, currency) + u" now."_s,
            {}};
}

} // namespace

MilestoneWatcher::MilestoneWatcher(AppModel &model, Notifier &notifier, QSettings &settings, RevenueHistory &history,
                                   std::function<QString()> scope, QObject *parent)
    : QObject(parent),
      m_model(model),
      m_notifier(notifier),
      m_settings(settings),
      m_history(history),
      m_scope(std::move(scope))
{
    connect(&m_model, &AppModel::refreshed, this, &MilestoneWatcher::refreshed);
    connect(&m_model, &AppModel::tokenChanged, this, &MilestoneWatcher::tokenChanged);
    // Only the user's own sign-out: a refused token (revoked elsewhere, or a
    // service having a bad minute) must not cost two years of history.
    connect(&m_model, &AppModel::signedOut, this, [this] {
        if (!m_forgettable.isEmpty())
            m_history.forgetAccount(m_forgettable);
        m_forgettable.clear();
    });
}

bool MilestoneWatcher::isEnabled() const
{
    const QVariant stored = m_settings.value(enabledKey);
    return stored.isValid() ? stored.toBool() : true;
}

void MilestoneWatcher::setEnabled(bool enabled)
{
    if (enabled == isEnabled())
        return;
    m_settings.setValue(enabledKey, enabled);
    emit enabledChanged();
}

void MilestoneWatcher::refreshed()
{
    const std::optional<Summary> &summary = m_model.summary();
    if (!summary || !m_model.me() || m_model.me()->id().isEmpty())
        return;
    m_account = m_model.me()->id();
    const QString scope = m_scope ? m_scope() : u"all"_s;
    const QString &currency = summary->currency();
    const qint64 mrr = summary->mrr();
    m_history.record(m_account, scope, currency, m_model.refreshedAt(), mrr);

    const QString key = m_account + QChar(u'\x1f') + scope + QChar(u'\x1f') + currency;
    bool baseline = false;
    if (!m_baselined.contains(key)) {
        baseline = m_history.markMilestone(m_account, scope, currency, baselineMark);
        m_baselined.insert(key);
    }
    const std::optional<qint64> highest = Milestones::highestReached(mrr);
    if (!highest || *highest <= m_highestMarked.value(key, baselineMark))
        return;
    std::optional<qint64> passed;
    for (const qint64 figure : Milestones::reached(mrr)) {
        if (m_history.markMilestone(m_account, scope, currency, figure))
            passed = figure;
    }
    m_highestMarked.insert(key, *highest);
    if (baseline || !passed || !isEnabled())
        return;
    const Money::Mask mask(m_model.hideAmounts());
    Notification notification = milestoneNotification(*passed, mrr, currency);
    const QString sound = m_model.me()->sound();
    if (sound != u"none")
        notification.sound = sound;
    m_notifier.show(notification);
}

void MilestoneWatcher::tokenChanged()
{
    // The account whose history a sign-out deletes is the last one shown.
    if (!m_account.isEmpty())
        m_forgettable = m_account;
    m_account.clear();
    m_baselined.clear();
    m_highestMarked.clear();
}

} // namespace vesko
