#pragma once

#include "app/core/presenters/ProjectChoices.h"
#include "app/ui/tray/DBusMenu.h"
#include "app/ui/tray/OldTray.h"
#include "app/ui/tray/StatusNotifierItem.h"

#include <QDBusConnection>
#include <QObject>
#include <QPoint>

#include <functional>
#include <memory>

namespace vesko {

class AppModel;
class Appearance;
struct TrayText;

// Vesko in the top bar: the snout and the MRR, kept in step with the model.
// A StatusNotifierItem when the desktop has a watcher (it can show text);
// otherwise the old system tray, which cannot, so the figure goes into its
// tooltip there. That fallback is made by `makeOldTray`, when there is one.
class TrayIcon : public QObject
{
    Q_OBJECT

public:
    enum class Host {
        none,
        statusNotifier,
        systemTray
    };
    enum MenuId {
        openPanelEntry = 1,
        separatorEntry,
        quitEntry,
        hideAmountsEntry,
        signInEntry,
        figureEntry,
        noticeEntry,
        figuresSeparatorEntry,
        projectsSeparatorEntry,
        firstChannelEntry = 100,
        firstProjectEntry = 1000,
    };

    using MakeOldTray = std::function<std::unique_ptr<OldTray>(const OldTrayTitles &titles)>;

    TrayIcon(AppModel &model, const Appearance &appearance, const QDBusConnection &bus, MakeOldTray makeOldTray = {},
             QObject *parent = nullptr);
    ~TrayIcon() override;

    // Puts the item up; false when no host can draw it now (a watcher that
    // appears later still gets it).
    bool show();
    Host host() const;
    // Whether the host draws the figure beside the icon. Only then may the
    // "amount only" style leave the icon out.
    bool labelShown() const;
    // Hosts known to draw the label (GNOME's AppIndicator extension, Ayatana's
    // and Unity's indicator services), by program name.
    static bool drawsLabel(const QString &hostProgram);
    // Hosts say where they were clicked in the screen's own pixels; windows
    // are placed in Qt's scaled ones (2× on a HiDPI screen).
    static QPoint logicalPoint(QPoint native, qreal devicePixelRatio);

    StatusNotifierItem &item() { return m_item; }
    DBusMenu &menu() { return m_menu; }

    // The item's content for a text and appearance; the icon files live
    // under `iconThemePath`.
    static StatusNotifierItem::Content contentFor(const TrayText &text, bool dark, const QString &iconThemePath,
                                                  bool labelShown = true);
    static constexpr const char *symbolicIconName = "vesko-snout-symbolic";

signals:
    // Clicked: toggle the panel near `at` (a null point: the host did not say).
    void activated(QPoint at);
    void openPanelRequested();
    void quitRequested();
    void hostChanged();
    void labelShownChanged();

private:
    void update();
    void fallBackIfNeeded();
    void menuTriggered(int id);
    void updateMenu();

    AppModel &m_model;
    const Appearance &m_appearance;
    StatusNotifierItem m_item;
    DBusMenu m_menu;
    QString m_iconThemePath;
    bool m_exported = false;
    bool m_labelShown = false;
    MakeOldTray m_makeOldTray;
    std::unique_ptr<OldTray> m_legacy;
    QList<ProjectChoice> m_projectChoices; // as the menu shows them
};

} // namespace vesko
