#pragma once

#include "app/core/Phase.h"
#include "app/core/SignInNotice.h"
#include "kit/Me.h"
#include "kit/Summary.h"

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

// The one block the panel shows above its cards, capitalised for QML
// (PanelBlock.Dashboard). Never made: a class only because Qt 6.4's QML
// compilers find an enum through its class's meta-type, which a namespace or
// a value type does not give them.
class PanelBlocks : public QObject
{
    Q_OBJECT

public:
    enum class Block {
        SignIn,
        Message,
        Spinner,
        Dashboard
    };
    Q_ENUM(Block)

    PanelBlocks() = delete;
};

// What the panel shows for the model's state.
struct PanelState
{
    Q_GADGET
    Q_PROPERTY(vesko::PanelBlocks::Block block MEMBER block CONSTANT)
    Q_PROPERTY(bool showsFooter MEMBER showsFooter CONSTANT)
    Q_PROPERTY(bool showsChannels MEMBER showsChannels CONSTANT)
    Q_PROPERTY(vesko::SignInText signIn MEMBER signIn CONSTANT)
    Q_PROPERTY(vesko::MessageText message MEMBER message CONSTANT)

public:
    using Block = PanelBlocks::Block;

    Block block = Block::SignIn;
    bool showsFooter = false;   // exactly while a token is held
    bool showsChannels = false; // the dashboard's channel card
    bool countEnding = true;    // for the headline card
    SignInText signIn;          // meaningful for Block::SignIn
    MessageText message;        // meaningful for Block::Message
};

// `notice`: what became of the last sign-in, said in the sign-in block in place of its invitation.
PanelState panelState(const Phase &phase, const std::optional<Summary> &summary, const std::optional<Me> &me,
                      bool signedIn, SignInNotice notice = SignInNotice::none);

} // namespace vesko
