#include "FooterText.h"

#include "TimeAgo.h"

namespace vesko {

QString refreshNote(const QDateTime &refreshedAt, const QDateTime &now)
{
    // timeAgo reads an invalid date as "just now"; never refreshed is no note at all.
    if (!refreshedAt.isValid())
        return {};
    const QString ago = timeAgo(refreshedAt, now);
    if (ago == u"just now")
        return QStringLiteral("Updated just now");
    return QStringLiteral("Updated ") + ago + QStringLiteral(" ago");
}

FooterText footerText(const QDateTime &refreshedAt, const QDateTime &now, bool trayShowsText)
{
    const QString amountNote =
        trayShowsText ? QString() : QStringLiteral("This tray cannot show text: the snout stays");
    return {
        .refreshNote = refreshNote(refreshedAt, now),
        .menuLabel = QStringLiteral("More"),
        .accountSettings = QStringLiteral("Account settings\u2026"),
        .showInTray = QStringLiteral("Show in menu bar"),
        .trayStyleChoices =
            {
                {.title = QStringLiteral("Snout and amount"), .style = TrayStyle::both},
                {.title = QStringLiteral("Amount only"), .style = TrayStyle::amount, .note = amountNote},
                {.title = QStringLiteral("Snout only"), .style = TrayStyle::snout},
            },
        .openAtLogin = QStringLiteral("Open at login"),
        .notifySales = QStringLiteral("Notify about new subscriptions"),
        .hideAmounts = QStringLiteral("Hide amounts"),
        .checkForUpdates = QStringLiteral("Check for updates\u2026"),
        .signOut = QStringLiteral("Sign out"),
        .quit = QStringLiteral("Quit Vesko"),
        .openDashboard = QStringLiteral("Open dashboard"),
    };
}

} // namespace vesko
