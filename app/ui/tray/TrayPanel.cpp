#include "TrayPanel.h"

#include "PanelController.h"

#include <QCursor>
#include <QGuiApplication>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickView>
#include <QScreen>
#include <QtMath>

namespace vesko {

namespace {

constexpr qint64 refocusGraceMs = 400;
constexpr int gap = 4;

bool belongsTo(const QWindow *window, const QWindow *panel)
{
    for (; window; window = window->transientParent()) {
        if (window == panel)
            return true;
    }
    return false;
}

} // namespace

TrayPanel::TrayPanel(PanelController &controller, QObject *parent) : QObject(parent), m_controller(controller)
{
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &TrayPanel::focusMoved);
}

TrayPanel::~TrayPanel() = default;

QPoint TrayPanel::placement(const QRect &available, const QSize &size, QPoint at)
{
    const bool fromTop = at.y() < available.center().y();
    QPoint topLeft(at.x() - size.width() / 2, fromTop ? at.y() + gap : at.y() - gap - size.height());
    topLeft.setX(std::clamp(topLeft.x(), available.left(), std::max(available.left(), available.right() + 1 - size.width())));
    topLeft.setY(std::clamp(topLeft.y(), available.top(), std::max(available.top(), available.bottom() + 1 - size.height())));
    return topLeft;
}

void TrayPanel::ensureView()
{
    if (m_view)
        return;
    m_view = std::make_unique<QQuickView>();
    m_view->setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    m_view->setTitle(QStringLiteral("Vesko"));
    m_controller.expose(*m_view->rootContext());
    m_view->setResizeMode(QQuickView::SizeViewToRootObject);
    m_view->setSource(QUrl(QStringLiteral("qrc:/vesko/qml/PanelView.qml")));
    if (QQuickItem *root = m_view->rootObject()) {
        const auto fit = [this, root] { m_view->resize(qCeil(root->width()), qCeil(root->height())); };
        connect(root, &QQuickItem::heightChanged, m_view.get(), fit);
        fit();
    }
    connect(m_view.get(), &QWindow::visibleChanged, &m_controller, [this](bool visible) {
        if (visible)
            m_controller.shown();
        else
            m_controller.hidden();
    });
}

void TrayPanel::toggle(QPoint at)
{
    if (isVisible()
        || (m_hiddenByFocus.isValid() && m_hiddenByFocus.elapsed() < refocusGraceMs)) {
        m_hiddenByFocus.invalidate();
        hide();
        return;
    }
    ensureView();
    if (at.isNull())
        at = QCursor::pos();
    const QScreen *screen = QGuiApplication::screenAt(at);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen)
        m_view->setPosition(placement(screen->availableGeometry(), m_view->size(), at));
    m_view->show();
    m_view->raise();
    m_view->requestActivate();
}

void TrayPanel::hide()
{
    if (m_view)
        m_view->hide();
}

bool TrayPanel::isVisible() const
{
    return m_view && m_view->isVisible();
}

void TrayPanel::focusMoved(QWindow *focused)
{
    if (!isVisible() || belongsTo(focused, m_view.get()))
        return;
    m_hiddenByFocus.start();
    hide();
}

} // namespace vesko
