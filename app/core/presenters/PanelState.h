#pragma once

#include "Phase.h"
#include "SignInNotice.h"

#include "Me.h"
#include "Summary.h"

#include <QObject>
#include <QString>

#include <optional>

namespace vesko {

// The sign-in block shown before and during the browser sign-in.
struct SignInText
{
    Q_GADGET
    Q_PROPERTY(QString title MEMBER title CONSTANT)
    Q_PROPERTY(QString sentence MEMBER sentence CONSTANT)
    Q_PROPERTY(QString buttonTitle MEMBER buttonTitle CONSTANT)
    Q_PROPERTY(bool buttonEnabled MEMBER buttonEnabled CONSTANT)

public:
    QString title;
    QString sentence;
    QString buttonTitle;
    bool buttonEnabled = true;
};

// A failure with one way out.
struct MessageText
{
    Q_GADGET
    Q_PROPERTY(QString title MEMBER title CONSTANT)
    Q_PROPERTY(QString message MEMBER message CONSTANT)
    Q_PROPERTY(QString actionTitle MEMBER actionTitle CONSTANT)
    Q_PROPERTY(Action action MEMBER action CONSTANT)

public:
    enum class Action {
        refresh,
        signIn
    };
    Q_ENUM(Action)

    QString title;
    QString message;
    QString actionTitle;
    Action action = Action::refresh;
};

// What the panel shows for the model's state.
struct PanelState
{
    Q_GADGET
    Q_PROPERTY(Block block MEMBER block CONSTANT)
    Q_PROPERTY(bool showsFooter MEMBER showsFooter CONSTANT)
    Q_PROPERTY(bool showsChannels MEMBER showsChannels CONSTANT)
    Q_PROPERTY(bool countEnding MEMBER countEnding CONSTANT)
    Q_PROPERTY(vesko::SignInText signIn MEMBER signIn CONSTANT)
    Q_PROPERTY(vesko::MessageText message MEMBER message CONSTANT)

public:
    enum class Block {
        signIn,
        message,
        spinner,
        dashboard
    };
    Q_ENUM(Block)

    Block block = Block::signIn;
    bool showsFooter = false;   // exactly while a token is held
    bool showsChannels = false; // the dashboard's channel card
    bool countEnding = true;    // for the headline card
    SignInText signIn;          // meaningful for Block::signIn
    MessageText message;        // meaningful for Block::message
};

// `notice`: what became of the last sign-in, said in the sign-in block in place of its invitation.
PanelState panelState(const Phase &phase, const std::optional<Summary> &summary, const std::optional<Me> &me,
                      bool signedIn, SignInNotice notice = SignInNotice::none);

} // namespace vesko
