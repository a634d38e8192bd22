#pragma once

#include "app/ui/PanelViews.h"

#include <memory>

namespace vesko {

class PanelController;
class TrayPanel;
class StandaloneWindows;

// The views drawn with Qt Quick, behind PanelViews. The drop-down and the
// panel window each have their own controller, so showing one never cancels
// the other's refresh.
class QuickPanelViews : public PanelViews
{
    Q_OBJECT

public:
    QuickPanelViews(const PanelViewsSetup &setup, const PanelViewsMemory &memory, QObject *parent = nullptr);
    ~QuickPanelViews() override;

    bool showWelcomeIfNeeded() override;
    void openPanel() override;
    void toggleDropDown(QPoint at) override;
    void setTrayShowsText(bool shows) override;
    bool welcomeShowing() const override;
    bool anyShowing() const override;
    PanelViewsMemory memory() const override;

    TrayPanel &dropDown() const { return *m_dropDown; }
    StandaloneWindows &windows() const { return *m_windows; }

private:
    std::unique_ptr<PanelController> m_controller;
    std::unique_ptr<TrayPanel> m_dropDown;
    std::unique_ptr<StandaloneWindows> m_windows;
    bool m_trayShowsText = true;
};

} // namespace vesko
