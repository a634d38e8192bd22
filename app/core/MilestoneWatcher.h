#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>

class QSettings;

namespace vesko {

class AppModel;
class Notifier;
class RevenueHistory;

// Keeps each refresh's MRR in the history, for the trend line, and tells when
// it passes a round figure (Milestones): once per figure, account, scope and
// currency, across runs. The first figure ever kept for a scope is the
// baseline: what it has passed already is marked silently, not celebrated
// late. Passing several figures at once marks them all and tells of the
// highest alone. A figure falling back and rising past a mark again says
// nothing. Sign-out forgets the account's history.
class MilestoneWatcher : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool enabled READ isEnabled WRITE setEnabled NOTIFY enabledChanged)

public:
    // `scope`: the scope shown now, "all" or a project's id.
    MilestoneWatcher(AppModel &model, Notifier &notifier, QSettings &settings, RevenueHistory &history,
                     std::function<QString()> scope, QObject *parent = nullptr);

    // "Notify about MRR milestones", stored in the settings, on by default.
    // Off, milestones are still marked: turning it on later brings no burst.
    bool isEnabled() const;
    void setEnabled(bool enabled);

signals:
    void enabledChanged();

private:
    void refreshed();
    void tokenChanged();

    AppModel &m_model;
    Notifier &m_notifier;
    QSettings &m_settings;
    RevenueHistory &m_history;
    std::function<QString()> m_scope;
    // The account of the last refresh, whose history a sign-out forgets.
    QString m_account;
    QString m_forgettable; // the account a sign-out now would forget
    // Per account, scope and currency this run: the baseline is taken, and
    // the highest figure known marked, so a refresh that passes nothing new
    // writes nothing but its figure.
    QSet<QString> m_baselined;
    QHash<QString, qint64> m_highestMarked;
};

} // namespace vesko
