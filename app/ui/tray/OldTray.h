#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>

class QGuiApplication;

namespace vesko {

// The old system tray (XEmbed), for desktops without a StatusNotifierWatcher.
// Only widgets can draw it, and widgets need a QApplication: both live in a
// part of their own, loaded only where no watcher runs at start.
class OldTray : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void show() = 0;
    virtual void hide() = 0;
    virtual bool isVisible() const = 0;
    virtual void setIcon(const QIcon &icon) = 0;
    virtual void setToolTip(const QString &text) = 0;
    virtual void setAmountsHidden(bool hidden) = 0;

signals:
    void clicked(QPoint at);
    void openRequested();
    void hideAmountsToggled();
    void quitRequested();
};

// The menu's entries, as the tray item's own menu names them.
struct OldTrayTitles
{
    QString open;
    QString hideAmounts;
    QString quit;
};

// The part's entry points. An application object that can have widgets (a
// QApplication); an old tray, or null where the desktop has no system tray.
using MakeWidgetsApplication = QGuiApplication *(*)(int &argc, char **argv);
using MakeOldTray = OldTray *(*)(const OldTrayTitles &titles);
inline constexpr const char *makeWidgetsApplicationSymbol = "vesko_make_widgets_application";
inline constexpr const char *makeOldTraySymbol = "vesko_make_old_tray";

} // namespace vesko
