#include "app/core/presenters/PanelState.h"

#include "app/core/presenters/ChannelRows.h"

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

PanelState::Block blockFor(Phase::Case phase, bool hasSummary)
{
    switch (phase) {
    case Phase::Case::signedOut:
    case Phase::Case::signingIn:
        return PanelState::Block::SignIn;
    case Phase::Case::failed:
        return hasSummary ? PanelState::Block::Dashboard : PanelState::Block::Message;
    case Phase::Case::loading:
    case Phase::Case::ready:
        break;
    }
    return hasSummary ? PanelState::Block::Dashboard : PanelState::Block::Spinner;
}

MessageText messageFor(const Phase &phase, bool signedIn)
{
    MessageText text{.title = u"No numbers yet"_s, .message = phase.message()};
    // Without a token a refresh does nothing: after a failed sign-in the way
    // out is signing in again.
    if (signedIn) {
        text.actionTitle = u"Try again"_s;
        text.action = MessageText::Action::refresh;
    } else {
        text.actionTitle = u"Sign in"_s;
        text.action = MessageText::Action::signIn;
    }
    return text;
}

QString signInSentence(SignInNotice notice)
{
    switch (notice) {
    case SignInNotice::expired:
        return u"Your sign-in expired before the browser came back. Sign in again to continue."_s;
    case SignInNotice::lateApproval:
        return u"That approval came after the sign-in had expired. Sign in again and approve once more."_s;
    case SignInNotice::none:
        break;
    }
    return u"Sign in with your Vesko account. You approve it in your browser; "
           u"no password goes into this app."_s;
}

} // namespace

PanelState panelState(const Phase &phase, const std::optional<Summary> &summary, const std::optional<Me> &me,
                      bool signedIn, SignInNotice notice)
{
    const bool waiting = phase.kind() == Phase::Case::signingIn;
    return {
        .block = blockFor(phase.kind(), summary.has_value()),
        .showsFooter = signedIn,
        .showsChannels = summary && hasPayingChannel(*summary),
        .countEnding = me ? me->countEndingSubscriptions() : true,
        .signIn =
            {
                .title = u"Your MRR in the menu bar"_s,
                .sentence = signInSentence(waiting ? SignInNotice::none : notice),
                .buttonTitle = waiting ? u"Waiting for your browser\u2026"_s : u"Sign in"_s,
                .buttonEnabled = !waiting,
            },
        .message = messageFor(phase, signedIn),
    };
}

} // namespace vesko
