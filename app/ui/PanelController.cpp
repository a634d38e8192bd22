#include "PanelController.h"

#include "Money.h"
#include "SaleWatcher.h"

#include "Fonts.h"
#include "Palette.h"
#include "Snout.h"
#include "UpdateNotices.h"
#include "Updater.h"
#include "presenters/ChannelRows.h"
#include "presenters/EventRows.h"
#include "presenters/FooterText.h"
#include "presenters/HeroText.h"
#include "presenters/PanelState.h"

#include <QCoreApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickImageProvider>

namespace vesko {

namespace {

// "image://snout/RRGGBB": the mark tinted in that colour at the size asked for.
class SnoutImageProvider : public QQuickImageProvider
{
public:
    SnoutImageProvider()
        : QQuickImageProvider(QQuickImageProvider::Image)
    {}

    QImage requestImage(const QString &id, QSize *size, const QSize &requestedSize) override
    {
        const QSize logical = requestedSize.isValid() ? requestedSize : snoutSize;
        const QColor color = QColor::fromString(QLatin1Char('#') + id);
        const QImage image = tinted(snoutImage(logical), color.isValid() ? color : Qt::black);
        if (size)
            *size = image.size();
        return image;
    }
};

QString blockName(PanelState::Block block)
{
    switch (block) {
    case PanelState::Block::signIn:
        return QStringLiteral("signIn");
    case PanelState::Block::message:
        return QStringLiteral("message");
    case PanelState::Block::spinner:
        return QStringLiteral("spinner");
    case PanelState::Block::dashboard:
        break;
    }
    return QStringLiteral("dashboard");
}

QColor badgeColor(const Palette &palette, const QString &kind)
{
    if (kind == QLatin1String("cancelled"))
        return palette.coral();
    if (kind == QLatin1String("reactivated"))
        return palette.lavender();
    return palette.mint();
}

} // namespace

PanelController::PanelController(AppModel &model, Palette &palette, std::function<QDateTime()> now, QObject *parent)
    : QObject(parent),
      m_model(model),
      m_palette(palette),
      m_now(std::move(now))
{
    for (auto signal : {&AppModel::phaseChanged, &AppModel::summaryChanged, &AppModel::eventsChanged,
                        &AppModel::meChanged, &AppModel::refreshedAtChanged, &AppModel::tokenChanged,
                        &AppModel::authSessionChanged, &AppModel::signInNoticeChanged})
        connect(&model, signal, this, &PanelController::recompute);
    connect(&model, &AppModel::menuBarStyleChanged, this, &PanelController::changed);
    connect(&model, &AppModel::hideAmountsChanged, this, &PanelController::recompute);
    connect(&palette, &Palette::darkChanged, this, &PanelController::recompute);
    recompute();
}

PanelController::~PanelController()
{
    if (m_visible && m_updates)
        m_updates->viewHidden();
}

void PanelController::setSaleWatcher(SaleWatcher *watcher)
{
    m_sales = watcher;
    if (m_sales)
        connect(m_sales, &SaleWatcher::enabledChanged, this, &PanelController::changed);
}

bool PanelController::notifySales() const
{
    return m_sales && m_sales->isEnabled();
}

void PanelController::setNotifySales(bool enabled)
{
    if (m_sales)
        m_sales->setEnabled(enabled);
}

void PanelController::setUpdateNotices(UpdateNotices *notices)
{
    if (m_updates) {
        if (m_visible)
            m_updates->viewHidden();
        disconnect(m_updates, nullptr, this, nullptr);
    }
    m_updates = notices;
    if (m_updates) {
        connect(m_updates, &UpdateNotices::changed, this, &PanelController::changed);
        if (m_visible)
            m_updates->viewShown();
    }
    emit changed();
}

QString PanelController::updateNote() const
{
    return m_updates ? m_updates->text().note : QString();
}

QString PanelController::updateActionTitle() const
{
    return m_updates ? m_updates->text().actionTitle : QString();
}

void PanelController::updateAction()
{
    if (m_updates)
        m_updates->openDownload();
}

void PanelController::expose(QQmlContext &context)
{
    const FontFamilies &fonts = registerFonts();
    context.setContextProperty(QStringLiteral("panel"), this);
    context.setContextProperty(QStringLiteral("colors"), &m_palette);
    context.setContextProperty(QStringLiteral("sansFamily"), fonts.sans);
    context.setContextProperty(QStringLiteral("displayFamily"), fonts.display);
    QQmlEngine *engine = context.engine();
    if (engine && !engine->imageProvider(QStringLiteral("snout"))) {
        engine->addImageProvider(QStringLiteral("snout"), new SnoutImageProvider);
        // The menu's "Quit": an exit, as from the tray menu. A quit would first
        // ask every window to close, and ours refuse (they only hide).
        connect(engine, &QQmlEngine::quit, engine, [] { QCoreApplication::exit(0); });
    }
}

void PanelController::recompute()
{
    // Every amount the presenters write below comes out masked while hidden.
    const Money::Mask mask(m_model.hideAmounts());
    const QDateTime now = m_now();
    const PanelState state =
        panelState(m_model.phase(), m_model.summary(), m_model.me(), m_model.isSignedIn(), m_model.signInNotice());
    m_block = blockName(state.block);
    m_signInTitle = state.signIn.title;
    m_signInSentence = state.signIn.sentence;
    m_signInButtonTitle = state.signIn.buttonTitle;
    m_signInButtonEnabled = state.signIn.buttonEnabled;
    m_signInPending = m_model.isSignInPending();
    m_messageTitle = state.message.title;
    m_messageText = state.message.message;
    m_messageActionTitle = state.message.actionTitle;
    m_messageRetries = state.message.action == MessageText::Action::refresh;

    const std::optional<Summary> &summary = m_model.summary();
    const HeroText hero = summary ? heroText(*summary, state.countEnding) : HeroText{};
    m_heroCaption = hero.caption;
    m_heroFigure = hero.figure;
    m_heroGrowth = hero.growth;
    m_heroExactLine = hero.exactLine;
    m_heroExchangeNote = hero.exchangeNote;

    m_showsChannels = state.showsChannels;
    const ChannelRows channels = summary ? vesko::channelRows(*summary) : ChannelRows{};
    m_channelsTitle = channels.title;
    m_channelRows.clear();
    for (const ChannelRow &row : channels.rows) {
        const Channel channel = Channel::fromRawValue(row.id).value_or(Channel::other);
        m_channelRows.append(QVariantMap{{QStringLiteral("label"), row.label},
                                         {QStringLiteral("source"), row.source},
                                         {QStringLiteral("amount"), row.amount},
                                         {QStringLiteral("fraction"), row.fraction},
                                         {QStringLiteral("color"), m_palette.channelColor(channel)}});
    }

    const EventRows events = vesko::eventRows(m_model.events(), now);
    m_eventsTitle = events.title;
    m_eventsEmptyText = events.emptyText;
    m_eventRows.clear();
    for (const EventRow &row : events.rows) {
        m_eventRows.append(QVariantMap{{QStringLiteral("badge"), row.badge},
                                       {QStringLiteral("kind"), row.kind},
                                       {QStringLiteral("headline"), row.headline},
                                       {QStringLiteral("detail"), row.detail},
                                       {QStringLiteral("age"), row.age},
                                       {QStringLiteral("badgeColor"), badgeColor(m_palette, row.kind)}});
    }

    const FooterText footer = footerText(m_model.refreshedAt(), now);
    m_showsFooter = state.showsFooter;
    m_refreshNote = footer.refreshNote;
    m_moreLabel = footer.menuLabel;
    m_openDashboardTitle = footer.openDashboard;
    emit changed();
}

double PanelController::barFillWidth(double available, double fraction) const
{
    return vesko::barFillWidth(available, fraction);
}

void PanelController::shown()
{
    if (m_showing)
        m_showing->cancel();
    if (!std::exchange(m_visible, true) && m_updates)
        m_updates->viewShown();
    m_showing = m_model.refresh();
    // Ages are as of this showing even when nothing else changed.
    recompute();
}

void PanelController::hidden()
{
    if (std::exchange(m_visible, false) && m_updates)
        m_updates->viewHidden();
    if (m_showing)
        m_showing->cancel();
    m_showing = nullptr;
}

void PanelController::signIn()
{
    m_model.signIn();
}

void PanelController::cancelSignIn()
{
    m_model.cancelSignIn();
}

void PanelController::messageAction()
{
    // Not tied to the showing: hiding the panel does not cancel it.
    if (m_messageRetries)
        m_model.refresh();
    else
        m_model.signIn();
}

void PanelController::openDashboard()
{
    m_model.openDashboard();
}

QVariantMap PanelController::menuTitles() const
{
    const FooterText footer = footerText({}, m_now());
    return {{QStringLiteral("accountSettings"), footer.accountSettings},
            {QStringLiteral("showInMenuBar"), footer.showInMenuBar},
            {QStringLiteral("openAtLogin"), footer.openAtLogin},
            {QStringLiteral("notifySales"), footer.notifySales},
            {QStringLiteral("hideAmounts"), footer.hideAmounts},
            {QStringLiteral("checkForUpdates"), footer.checkForUpdates},
            {QStringLiteral("signOut"), footer.signOut},
            {QStringLiteral("quit"), footer.quit}};
}

QVariantList PanelController::menuBarChoices() const
{
    QVariantList choices;
    for (const MenuBarChoice &choice : footerText({}, m_now(), m_trayShowsText).menuBarChoices)
        choices.append(QVariantMap{{QStringLiteral("title"), choice.title},
                                   {QStringLiteral("style"), int(choice.style)},
                                   {QStringLiteral("note"), choice.note}});
    return choices;
}

void PanelController::setTrayShowsText(bool shows)
{
    if (shows == m_trayShowsText)
        return;
    m_trayShowsText = shows;
    emit changed();
}

void PanelController::setMenuBarStyle(int style)
{
    if (style >= int(MenuBarStyle::both) && style <= int(MenuBarStyle::snout))
        m_model.setMenuBarStyle(MenuBarStyle(style));
}

void PanelController::openSettings()
{
    m_model.openSettings();
}

void PanelController::checkForUpdates()
{
    if (m_updates)
        m_updates->check();
    else if (Updater *updater = m_model.updater())
        updater->checkForUpdates();
}

void PanelController::signOut()
{
    m_model.signOut();
}

} // namespace vesko
