#include "app/core/presenters/TrayMenuText.h"

#include "app/core/presenters/ChannelRows.h"
#include "app/core/presenters/HeroText.h"

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

const QString separator = u" \u00b7 "_s;

} // namespace

TrayMenuText trayMenuText(const PanelState &state, const std::optional<Summary> &summary)
{
    TrayMenuText text;
    switch (state.block) {
    case PanelState::Block::SignIn:
        text.signInTitle = state.signIn.buttonTitle;
        text.signInEnabled = state.signIn.buttonEnabled;
        return text;
    case PanelState::Block::Message:
        text.notice = state.message.message;
        break;
    case PanelState::Block::Spinner:
    case PanelState::Block::Dashboard:
        break;
    }
    // A later failure keeps the dashboard, and with it the last figures.
    if (!summary || state.block != PanelState::Block::Dashboard)
        return text;
    const HeroText hero = heroText(*summary, state.countEnding);
    text.headline = u"MRR "_s + hero.figure;
    if (!hero.growth.isEmpty())
        text.headline += separator + hero.growth;
    if (state.showsChannels) {
        for (const ChannelRow &row : channelRows(*summary).rows)
            text.channels << row.label + separator + row.amount;
    }
    return text;
}

} // namespace vesko
