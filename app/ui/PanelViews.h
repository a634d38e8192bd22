#pragma once

#include "app/core/Scene.h"

#include <QObject>
#include <QPoint>
#include <QSettings>

#include <optional>

namespace vesko {

using namespace Qt::StringLiterals;

class AppModel;
class MilestoneWatcher;
class Palette;
class RevenueHistory;
class SaleWatcher;
class UpdateNotices;

// What the views are made from. Everything here outlives them.
struct PanelViewsSetup
{
    AppModel &model;
    Palette &palette;
    QSettings &settings;
    SaleWatcher *sales = nullptr;
    UpdateNotices *updates = nullptr;
    RevenueHistory *history = nullptr; // the trend line's figures; none without
    MilestoneWatcher *milestones = nullptr;
};

// What the views remember across being released and made again.
struct PanelViewsMemory
{
    QPoint lastActivation;               // the last point the tray host gave
    std::optional<QPoint> panelWindowAt; // where the user left the panel window
    bool trayShowsText = true;
};

// Everything drawn with Qt Quick: the drop-down, the panel window and the
// welcome window. It lives in a part of its own, loaded on first show, so a
// Vesko that is only looked at in the bar never maps Qt Quick.
class PanelViews : public QObject, public Scene
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Shows the drop-down under the item clicked at `at`, or hides it.
    virtual void toggleDropDown(QPoint at) = 0;
    virtual void setTrayShowsText(bool shows) = 0;
    virtual bool welcomeShowing() const = 0;
    // True while any view is on screen.
    virtual bool anyShowing() const = 0;
    virtual PanelViewsMemory memory() const = 0;

signals:
    // A view was shown or hidden.
    void showingChanged();
};

// The welcome window comes once per user; asked before the views are loaded.
inline const QString &welcomedKey()
{
    static const QString key = u"VeskoWelcomed"_s;
    return key;
}
inline bool wasWelcomed(const QSettings &settings)
{
    return settings.value(welcomedKey(), false).toBool();
}

// The loadable part's one entry point: views made from `setup`, starting from `memory`.
using MakePanelViews = PanelViews *(*)(const PanelViewsSetup &setup, const PanelViewsMemory &memory);
inline constexpr const char *makePanelViewsSymbol = "vesko_make_panel_views";

} // namespace vesko
