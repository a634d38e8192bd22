// The loadable part for desktops without a StatusNotifierWatcher: the
// QApplication and the old system tray, drawn with widgets.
#include "app/ui/tray/OldTray.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

#include <memory>

namespace vesko {

namespace {

class WidgetsOldTray : public OldTray
{
public:
    explicit WidgetsOldTray(const OldTrayTitles &titles)
    {
        m_menu.addAction(titles.open, this, &OldTray::openRequested);
        m_hide = m_menu.addAction(titles.hideAmounts, this, &OldTray::hideAmountsToggled);
        m_hide->setCheckable(true);
        m_menu.addSeparator();
        m_menu.addAction(titles.quit, this, &OldTray::quitRequested);
        m_icon.setContextMenu(&m_menu);
        connect(&m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger)
                emit clicked(QCursor::pos());
        });
    }

    void show() override { m_icon.show(); }
    void hide() override { m_icon.hide(); }
    bool isVisible() const override { return m_icon.isVisible(); }
    void setIcon(const QIcon &icon) override { m_icon.setIcon(icon); }
    void setToolTip(const QString &text) override { m_icon.setToolTip(text); }
    void setAmountsHidden(bool hidden) override { m_hide->setChecked(hidden); }

private:
    QMenu m_menu;
    QAction *m_hide = nullptr;
    QSystemTrayIcon m_icon;
};

} // namespace

} // namespace vesko

extern "C" Q_DECL_EXPORT QGuiApplication *vesko_make_widgets_application(int &argc, char **argv)
{
    return new QApplication(argc, argv);
}

extern "C" Q_DECL_EXPORT vesko::OldTray *vesko_make_old_tray(const vesko::OldTrayTitles &titles)
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return nullptr;
    return new vesko::WidgetsOldTray(titles);
}
