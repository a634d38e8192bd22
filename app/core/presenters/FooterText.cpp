#include "app/core/presenters/FooterText.h"

#include "kit/TimeAgo.h"

using namespace Qt::StringLiterals;

namespace vesko {

QString refreshNote(const QDateTime &refreshedAt, const QDateTime &now)
{
    // timeAgo reads an invalid date as "just now"; never refreshed is no note at all.
    if (!refreshedAt.isValid())
        return {};
    const QString ago = timeAgo(refreshedAt, now);
    if (ago == u"just now")
        return u"Updated just now"_s;
    return u"Updated "_s + ago + u" ago"_s;
}

FooterText footerText(const QDateTime &refreshedAt, const QDateTime &now, bool trayShowsText, const QString &scope,
                      bool scoped)
{
    const QString amountNote = trayShowsText ? QString() : u"This tray cannot show text: the snout stays"_s;
    return {
        .refreshNote = scoped && !scope.isEmpty() && refreshedAt.isValid()
                           ? scope + u" \u00B7 "_s + refreshNote(refreshedAt, now)
                           : refreshNote(refreshedAt, now),
        .scope = scoped ? scope : QString(),
        .showProject = u"Show project"_s,
        .notifyMilestones = u"Notify about MRR milestones"_s,
        .menuLabel = u"More"_s,
        .accountSettings = u"Account settings\u2026"_s,
        .showInTray = u"Show in menu bar"_s,
        .trayStyleChoices =
            {
                {.title = u"Snout and amount"_s, .style = TrayStyle::both},
                {.title = u"Amount only"_s, .style = TrayStyle::amount, .note = amountNote},
                {.title = u"Snout only"_s, .style = TrayStyle::snout},
            },
        .openAtLogin = u"Open at login"_s,
        .notifySales = u"Notify about new subscriptions"_s,
        .hideAmounts = u"Hide amounts"_s,
        .checkForUpdates = u"Check for updates\u2026"_s,
        .signOut = u"Sign out"_s,
        .quit = u"Quit Vesko"_s,
        .openDashboard = u"Open dashboard"_s,
    };
}

} // namespace vesko
