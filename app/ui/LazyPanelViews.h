#pragma once

#include "app/core/MemoryTrim.h"
#include "app/ui/PanelViews.h"
#include "app/ui/Parts.h"

#include <QLibrary>
#include <QTimer>

#include <memory>

namespace vesko {

// The views, loaded the first time one is shown and let go again once none
// has shown for a while: Qt Quick's engine, windows and caches are most of
// what Vesko would otherwise keep between looks at the panel. What the views
// remember (the panel window's place, the tray's last click) is carried over.
class LazyPanelViews : public QObject, public Scene
{
    Q_OBJECT

public:
    // `part` is the file of the loadable part; `trim`, when given, gives
    // back what the views used once they are let go.
    LazyPanelViews(const PanelViewsSetup &setup, const QString &part, MemoryTrim *trim = nullptr,
                   QObject *parent = nullptr);
    ~LazyPanelViews() override;

    bool showWelcomeIfNeeded() override;
    void openPanel() override;
    void toggleDropDown(QPoint at);
    void setTrayShowsText(bool shows);
    bool welcomeShowing() const;

    // How long the views stay made after the last one was hidden.
    void setReleaseDelay(int ms) { m_release.setInterval(ms); }
    // The views while they are made; null before the first show and after a release.
    PanelViews *views() const { return m_views.get(); }

signals:
    void released();

private:
    PanelViews *ensureViews();
    void showingChanged();
    void release();

    PanelViewsSetup m_setup;
    QLibrary m_part;
    MemoryTrim *m_trim = nullptr;
    MakePanelViews m_make = nullptr;
    bool m_failed = false;
    PanelViewsMemory m_memory;
    std::unique_ptr<PanelViews> m_views;
    QTimer m_release;
};

} // namespace vesko
