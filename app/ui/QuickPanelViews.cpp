#include "app/ui/QuickPanelViews.h"

#include "app/ui/PanelController.h"
#include "app/ui/StandaloneWindows.h"
#include "app/ui/tray/TrayPanel.h"

#include <QQuickView>

namespace vesko {

QuickPanelViews::QuickPanelViews(const PanelViewsSetup &setup, const PanelViewsMemory &memory, QObject *parent)
    : PanelViews(parent),
      m_controller(std::make_unique<PanelController>(setup.model, setup.palette)),
      m_dropDown(std::make_unique<TrayPanel>(*m_controller)),
      m_windows(std::make_unique<StandaloneWindows>(setup.model, setup.palette, setup.settings))
{
    for (PanelController *controller : {m_controller.get(), &m_windows->controller()}) {
        controller->setSaleWatcher(setup.sales);
        controller->setUpdateNotices(setup.updates);
        controller->setHistory(setup.history);
        controller->setMilestoneWatcher(setup.milestones);
    }
    m_dropDown->setLastActivation(memory.lastActivation);
    if (memory.panelWindowAt)
        m_windows->setPanelPosition(*memory.panelWindowAt);
    setTrayShowsText(memory.trayShowsText);
    connect(m_dropDown.get(), &TrayPanel::showingChanged, this, &PanelViews::showingChanged);
    connect(m_windows.get(), &StandaloneWindows::showingChanged, this, &PanelViews::showingChanged);
}

QuickPanelViews::~QuickPanelViews()
{
    // The drop-down first: it holds a reference to its controller.
    m_dropDown.reset();
}

bool QuickPanelViews::showWelcomeIfNeeded()
{
    return m_windows->showWelcomeIfNeeded();
}

void QuickPanelViews::openPanel()
{
    m_windows->openPanel();
}

void QuickPanelViews::toggleDropDown(QPoint at)
{
    m_dropDown->toggle(at);
}

void QuickPanelViews::setTrayShowsText(bool shows)
{
    m_trayShowsText = shows;
    m_controller->setTrayShowsText(shows);
    m_windows->controller().setTrayShowsText(shows);
}

bool QuickPanelViews::welcomeShowing() const
{
    return m_windows->welcomeWindow() && m_windows->welcomeWindow()->isVisible();
}

bool QuickPanelViews::anyShowing() const
{
    const auto showing = [](const QQuickView *view) { return view && view->isVisible(); };
    return m_dropDown->isVisible() || showing(m_windows->welcomeWindow()) || showing(m_windows->panelWindow());
}

PanelViewsMemory QuickPanelViews::memory() const
{
    return {.lastActivation = m_dropDown->lastActivation(),
            .panelWindowAt = m_windows->panelPosition(),
            .trayShowsText = m_trayShowsText};
}

} // namespace vesko
