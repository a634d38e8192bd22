// The loadable part: Qt Quick and the views, opened on first show.
#include "app/ui/QuickPanelViews.h"

// The entry point the application looks up when it loads this part.
extern "C" Q_DECL_EXPORT vesko::PanelViews *vesko_make_panel_views(const vesko::PanelViewsSetup &setup,
                                                                   const vesko::PanelViewsMemory &memory)
{
    return new vesko::QuickPanelViews(setup, memory);
}
