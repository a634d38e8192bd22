#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QTimer>

#include <memory>
#include <optional>

class QQuickView;
class QQuickWindow;
class QScreen;
class QWindow;

namespace vesko {

class PanelController;

// The panel dropped down from the tray item: a popup made on first use and
// reused. It hangs from the bar edge under the item, never taller than its
// screen (the content scrolls inside), and goes away like a menu: Escape, a
// click anywhere outside it, or the focus moving elsewhere.
class TrayPanel : public QObject
{
    Q_OBJECT

public:
    explicit TrayPanel(PanelController &controller, QObject *parent = nullptr);
    ~TrayPanel() override;

    // Shows the panel under the item clicked at `at` (screen coordinates), or
    // hides it when it is up. A null point (the tray menu's "Open Vesko", or a
    // host that did not say) drops it from the item's last known place, else
    // from the bar above or below the cursor.
    void toggle(QPoint at);
    void hide();
    bool isVisible() const;
    QQuickView *window() const { return m_view.get(); }
    // The last point the tray host gave, kept when the views are made again.
    QPoint lastActivation() const { return m_lastActivation; }
    void setLastActivation(QPoint at) { m_lastActivation = at; }

    // Where a panel of `size` dropping from a bar item at `at` goes: flush
    // under the top edge of `available` (less a small gap) when `at` is in its
    // upper half, over the bottom edge otherwise; centred on `at` across, and
    // always inside `available`.
    static QPoint placement(const QRect &available, const QSize &size, QPoint at);
    // Where the panel drops from: the item's own point when the host gave one,
    // else the last one it gave, else the pointer. `cursor` is empty where
    // the pointer cannot be known (an X client under a Wayland compositor sees
    // it only over its own windows): then the right end of the top bar, where
    // GNOME keeps its status items.
    static QPoint anchor(QPoint at, QPoint lastActivation, std::optional<QPoint> cursor, const QRect &screen);
    // The tallest the panel may be in `available`: a gap at either end.
    static int maximumHeight(const QRect &available);

    // True when a compositing manager runs on the display, so a window may
    // leave its corners see-through.
    static bool compositing();

signals:
    void showingChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void focusMoved(QWindow *focused);
    void dropView();
    void ensureView();
    void fit();
    void grabInput();
    QScreen *screenFor(QPoint at) const;
    QQuickWindow *footerMenu() const;

    PanelController &m_controller;
    std::unique_ptr<QQuickView> m_view;
    bool m_translucent = false;
    // The point the panel drops from while it shows, and the last one the
    // tray host gave.
    QPoint m_anchor;
    QPoint m_lastActivation;
    // A click on the tray item takes the focus, or lands outside the grab,
    // before the host asks for a toggle: that toggle must not bring the
    // panel straight back.
    QElapsedTimer m_dismissed;
    // The host may still hold the pointer right after the click that opened
    // us; grabbing is tried again a few times.
    QTimer m_grabRetry;
    int m_grabTries = 0;
    bool m_swallowRelease = false;
};

} // namespace vesko
