#pragma once

#include "app/core/Scene.h"

#include <QObject>
#include <QPoint>
#include <QVariantMap>
#include <QtQmlIntegration>

#include <memory>
#include <optional>

class QQuickView;
class QSettings;

namespace vesko {

class AppModel;
class Palette;
class PanelController;

// The welcome window, shown once per user, and the panel in an ordinary
// window for desktops without a tray. Both are made on first use and only
// hidden afterwards, so a window keeps its place between showings. The panel
// window has a controller of its own: its showing and hiding never touch the
// drop-down's.
class StandaloneWindows : public QObject, public Scene
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The welcome view is handed its StandaloneWindows.")

public:
    StandaloneWindows(AppModel &model, Palette &palette, QSettings &settings, QObject *parent = nullptr);
    ~StandaloneWindows() override;

    // True when it came up: the first launch for this user.
    bool showWelcomeIfNeeded() override;
    void openPanel() override;

    QQuickView *welcomeWindow() const { return m_welcome.get(); }
    QQuickView *panelWindow() const { return m_panel.get(); }
    PanelController &controller() const { return *m_controller; }
    // Where the panel window is, or goes when it is made; centred otherwise.
    std::optional<QPoint> panelPosition() const;
    void setPanelPosition(QPoint at) { m_panelAt = at; }

    // The welcome window's two buttons.
    Q_INVOKABLE void dismissWelcome();
    Q_INVOKABLE void openHere();

signals:
    void showingChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // `properties`: the required ones of the view's root.
    std::unique_ptr<QQuickView> makeView(const QString &title, const QString &qml, const QVariantMap &properties = {});

    std::unique_ptr<PanelController> m_controller;
    QSettings &m_settings;
    std::unique_ptr<QQuickView> m_welcome;
    std::unique_ptr<QQuickView> m_panel;
    std::optional<QPoint> m_panelAt;
};

} // namespace vesko
