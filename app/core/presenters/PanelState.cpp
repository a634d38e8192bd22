#include "PanelState.h"

#include "ChannelRows.h"

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
    MessageText text{.title = QStringLiteral("No numbers yet"), .message = phase.message()};
    // Without a token a refresh does nothing: after a failed sign-in the way
    // out is signing in again.
    if (signedIn) {
        text.actionTitle = QStringLiteral("Try again");
        text.action = MessageText::Action::refresh;
    } else {
        text.actionTitle = QStringLiteral("Sign in");
        text.action = MessageText::Action::signIn;
    }
    return text;
}

QString signInSentence(SignInNotice notice)
{
    switch (notice) {
    case SignInNotice::expired:
        return QStringLiteral("Your sign-in expired before the browser came back. Sign in again to continue.");
    case SignInNotice::lateApproval:
        return QStringLiteral("That approval came after the sign-in had expired. Sign in again and approve once more.");
    case SignInNotice::none:
        break;
    }
    return QStringLiteral("Sign in with your Vesko account. You approve it in your browser; "
                          "no password goes into this app.");
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
                .title = QStringLiteral("Your MRR in the menu bar"),
                .sentence = signInSentence(waiting ? SignInNotice::none : notice),
                .buttonTitle = waiting ? QStringLiteral("Waiting for your browser\u2026") : QStringLiteral("Sign in"),
                .buttonEnabled = !waiting,
            },
        .message = messageFor(phase, signedIn),
    };
}

} // namespace vesko
