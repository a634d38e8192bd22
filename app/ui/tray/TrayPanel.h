#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QRect>

#include <memory>

class QQuickView;
class QWindow;

namespace vesko {

class PanelController;

// The panel dropped down from the tray item: a frameless window made on
// first use and reused, placed at the click and gone again when it loses
// focus, like a menu.
class TrayPanel : public QObject
{
    Q_OBJECT

public:
    explicit TrayPanel(PanelController &controller, QObject *parent = nullptr);
    ~TrayPanel() override;

    // Shows the panel near `at` (screen coordinates; a null point: the
    // cursor), or hides it when it is up.
    void toggle(QPoint at);
    void hide();
    bool isVisible() const;
    QQuickView *window() const { return m_view.get(); }

    // Where a panel of `size` goes for a click at `at`: centred under it
    // when the click was in the upper half of `available`, above it
    // otherwise (a bottom panel), and always inside `available`.
    static QPoint placement(const QRect &available, const QSize &size, QPoint at);

private:
    void focusMoved(QWindow *focused);
    void ensureView();

    PanelController &m_controller;
    std::unique_ptr<QQuickView> m_view;
    // A click on the tray item takes the focus first; the toggle that
    // follows must not bring the panel straight back.
    QElapsedTimer m_hiddenByFocus;
};

} // namespace vesko
