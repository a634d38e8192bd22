#include "app/ui/tray/TrayIcon.h"

#include "app/core/AppModel.h"
#include "app/core/presenters/PanelState.h"
#include "app/core/presenters/ProjectChoices.h"
#include "app/core/presenters/TrayMenuText.h"
#include "app/core/presenters/TrayText.h"
#include "app/ui/Appearance.h"
#include "app/ui/Snout.h"
#include "kit/Money.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QSaveFile>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

const QString openTitle = u"Open Vesko"_s;
const QString quitTitle = u"Quit Vesko"_s;
const QString hideTitle = u"Hide amounts"_s;

// Square canvases, the snout centred across their width: hosts scale
// icons to a square slot. No colour: the canvases stay empty.
QList<SniPixmap> snoutPixmaps(std::optional<QColor> color)
{
    QList<SniPixmap> pixmaps;
    for (const int side : {16, 22, 24, 32, 48}) {
        QImage canvas(side, side, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::transparent);
        if (color) {
            const QSize mark(side, side * snoutSize.height() / snoutSize.width());
            QPainter painter(&canvas);
            painter.drawImage(QPoint(0, (side - mark.height()) / 2), tinted(snoutImage(mark), *color));
        }
        pixmaps << sniPixmap(canvas);
        if (!color)
            break;
    }
    return pixmaps;
}

// The symbolic icon as a file, so hosts that recolour symbolic icons to
// their panel's text colour (GNOME) can; an empty path when it cannot be
// written, and the pixmaps serve instead.
QString writeSymbolicIcon()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        return {};
    QString folder = runtime + u"/vesko/icons"_s;
    if (!QDir().mkpath(folder))
        return {};
    const QString path = folder + u'/' + QString::fromLatin1(TrayIcon::symbolicIconName) + u".svg"_s;
    const QByteArray svg = snoutSvg();
    // Usually there from the last run: a rewrite would only cost a flush.
    if (QFile current(path);
        current.open(QIODevice::ReadOnly) && current.size() == svg.size() && current.readAll() == svg)
        return folder;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(svg) != svg.size() || !file.commit())
        return {};
    return folder;
}

} // namespace

TrayIcon::TrayIcon(AppModel &model, const Appearance &appearance, const QDBusConnection &bus, MakeOldTray makeOldTray,
                   QObject *parent)
    : QObject(parent),
      m_model(model),
      m_appearance(appearance),
      m_item(u"vesko"_s, bus),
      m_menu(),
      m_makeOldTray(std::move(makeOldTray))
{
    updateMenu();
    m_exported = m_menu.exportOn(bus, QString::fromLatin1(StatusNotifierItem::menuPath));
    m_iconThemePath = writeSymbolicIcon();

    connect(&m_menu, &DBusMenu::triggered, this, &TrayIcon::menuTriggered);
    connect(&m_item, &StatusNotifierItem::activateRequested, this,
            [this](QPoint at) { emit activated(logicalPoint(at, qGuiApp->devicePixelRatio())); });
    connect(&m_item, &StatusNotifierItem::registeredChanged, this, [this](bool registered) {
        if (registered && m_legacy)
            m_legacy->hide();
        else
            fallBackIfNeeded();
        emit hostChanged();
    });
    for (auto signal : {&AppModel::trayLabelChanged, &AppModel::showsSnoutChanged, &AppModel::spokenLabelChanged})
        connect(&m_model, signal, this, &TrayIcon::update);
    connect(&m_appearance, &Appearance::darkChanged, this, &TrayIcon::update);
    for (auto signal : {&AppModel::hideAmountsChanged, &AppModel::summaryChanged, &AppModel::phaseChanged,
                        &AppModel::tokenChanged, &AppModel::authSessionChanged, &AppModel::meChanged,
                        &AppModel::projectsChanged, &AppModel::projectScopeChanged})
        connect(&m_model, signal, this, &TrayIcon::updateMenu);

    const auto followHost = [this] {
        const bool shown = labelShown();
        if (shown == m_labelShown)
            return;
        m_labelShown = shown;
        update();
        emit labelShownChanged();
    };
    connect(&m_item, &StatusNotifierItem::registeredChanged, this, followHost);
    connect(&m_item, &StatusNotifierItem::hostProgramChanged, this, followHost);
    // Qt's Wayland window takes it from here when it next asks for focus.
    connect(&m_item, &StatusNotifierItem::activationTokenProvided, this, [](const QString &token) {
        if (!token.isEmpty())
            qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
    });
    update();
}

TrayIcon::~TrayIcon() = default;

StatusNotifierItem::Content TrayIcon::contentFor(const TrayText &text, bool dark, const QString &iconThemePath,
                                                 bool labelShown)
{
    StatusNotifierItem::Content content;
    content.title = text.spoken;
    content.label = text.label;
    content.labelGuide = text.labelGuide;
    content.toolTipTitle = text.spoken;
    // Where the host cannot draw the figure, the snout stays: without it the
    // item would vanish or be an empty slot.
    if (text.showsSnout || !labelShown || text.label.isEmpty()) {
        content.iconName = iconThemePath.isEmpty() ? QString() : QString::fromLatin1(symbolicIconName);
        content.iconThemePath = iconThemePath;
        content.icon = snoutPixmaps(dark ? QColor(Qt::white) : QColor(Qt::black));
    } else {
        // An item with no icon at all gets the shell's missing-icon picture.
        content.icon = snoutPixmaps(std::nullopt);
    }
    return content;
}

bool TrayIcon::show()
{
    m_item.start();
    fallBackIfNeeded();
    return host() != Host::none || m_item.watcherPresent();
}

QPoint TrayIcon::logicalPoint(QPoint native, qreal devicePixelRatio)
{
    if (native.isNull() || devicePixelRatio <= 0)
        return native;
    return QPoint(qRound(native.x() / devicePixelRatio), qRound(native.y() / devicePixelRatio));
}

bool TrayIcon::drawsLabel(const QString &hostProgram)
{
    // As /proc names them: cut to 15 characters.
    static const QStringList programs{u"gnome-shell"_s, u"indicator-appli"_s, u"ayatana-indicat"_s};
    return programs.contains(hostProgram);
}

bool TrayIcon::labelShown() const
{
    return m_item.isRegistered() && drawsLabel(m_item.hostProgram());
}

TrayIcon::Host TrayIcon::host() const
{
    if (m_item.isRegistered())
        return Host::statusNotifier;
    if (m_legacy && m_legacy->isVisible())
        return Host::systemTray;
    return Host::none;
}

void TrayIcon::update()
{
    const TrayText text = trayText(m_model.showsSnout(), m_model.trayLabel(), m_model.spokenLabel());
    m_item.setContent(contentFor(text, m_appearance.isDark(), m_iconThemePath, labelShown()));
    if (m_legacy) {
        m_legacy->setIcon(snoutIcon(m_appearance.isDark() ? QColor(Qt::white) : QColor(Qt::black)));
        m_legacy->setToolTip(text.spoken);
    }
}

void TrayIcon::fallBackIfNeeded()
{
    if (m_item.isRegistered() || m_item.watcherPresent() || !m_makeOldTray)
        return;
    if (!m_legacy) {
        // Null while the desktop has no system tray either; asked again on the next change.
        m_legacy = m_makeOldTray({.open = openTitle, .hideAmounts = hideTitle, .quit = quitTitle});
        if (!m_legacy)
            return;
        m_legacy->setAmountsHidden(m_model.hideAmounts());
        connect(m_legacy.get(), &OldTray::clicked, this, &TrayIcon::activated);
        connect(m_legacy.get(), &OldTray::openRequested, this, &TrayIcon::openPanelRequested);
        connect(m_legacy.get(), &OldTray::hideAmountsToggled, this, [this] { menuTriggered(hideAmountsEntry); });
        connect(m_legacy.get(), &OldTray::quitRequested, this, &TrayIcon::quitRequested);
        update();
    }
    m_legacy->show();
    emit hostChanged();
}

void TrayIcon::updateMenu()
{
    const Money::Mask mask(m_model.hideAmounts());
    const std::optional<Summary> &summary = m_model.summary();
    const TrayMenuText text =
        trayMenuText(panelState(m_model.phase(), summary, m_model.me(), m_model.isSignedIn()), summary);

    QList<MenuEntry> entries;
    if (!text.signInTitle.isEmpty())
        entries << MenuEntry{.id = signInEntry, .label = text.signInTitle, .enabled = text.signInEnabled};
    if (!text.headline.isEmpty())
        entries << MenuEntry{.id = figureEntry, .label = text.headline};
    for (int i = 0; i < text.channels.size(); ++i)
        entries << MenuEntry{.id = firstChannelEntry + i, .label = text.channels[i]};
    if (!text.notice.isEmpty())
        entries << MenuEntry{.id = noticeEntry, .label = text.notice, .enabled = false};
    if (!entries.isEmpty())
        entries << MenuEntry{.id = figuresSeparatorEntry, .separator = true};
    m_projectChoices =
        m_model.isSignedIn() ? projectChoices(m_model.projects(), m_model.projectScope()) : QList<ProjectChoice>();
    for (int i = 0; i < m_projectChoices.size(); ++i) {
        const ProjectChoice &choice = m_projectChoices[i];
        entries << MenuEntry{
            .id = firstProjectEntry + i, .label = choice.title, .checked = choice.chosen, .radio = true};
    }
    if (!m_projectChoices.isEmpty())
        entries << MenuEntry{.id = projectsSeparatorEntry, .separator = true};
    entries << MenuEntry{.id = openPanelEntry, .label = openTitle}
            << MenuEntry{.id = hideAmountsEntry, .label = hideTitle, .checked = m_model.hideAmounts()}
            << MenuEntry{.id = separatorEntry, .separator = true} << MenuEntry{.id = quitEntry, .label = quitTitle};
    m_menu.setEntries(entries);
    if (m_legacy)
        m_legacy->setAmountsHidden(m_model.hideAmounts());
}

void TrayIcon::menuTriggered(int id)
{
    // The figures open the panel that explains them.
    if (id >= firstProjectEntry) {
        if (id - firstProjectEntry < m_projectChoices.size())
            m_model.setProjectScope(m_projectChoices[id - firstProjectEntry].id);
    } else if (id == openPanelEntry || id == figureEntry || id >= firstChannelEntry)
        emit openPanelRequested();
    else if (id == signInEntry && !m_model.isSignedIn() && !m_model.isSignInPending())
        m_model.signIn();
    else if (id == hideAmountsEntry)
        m_model.setHideAmounts(!m_model.hideAmounts());
    else if (id == quitEntry)
        emit quitRequested();
}

} // namespace vesko
