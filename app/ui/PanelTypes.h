#pragma once

// The types of other libraries that the panel's QML reads, registered with
// the Vesko.Panel module so that bindings to them are typed and checked.

#include "app/core/presenters/ChannelRows.h"
#include "app/core/presenters/EventRows.h"
#include "app/core/presenters/FigureRow.h"
#include "app/core/presenters/FooterText.h"
#include "app/core/presenters/HeroText.h"
#include "app/core/presenters/PanelState.h"
#include "app/core/presenters/ProjectRows.h"
#include "app/core/presenters/TrendText.h"
#include "app/ui/Palette.h"

#include <QtQml/qqml.h>

namespace vesko::qml {

struct PanelStateType
{
    Q_GADGET
    QML_FOREIGN(vesko::PanelState)
    QML_VALUE_TYPE(panelState)
};

// PanelBlock.SignIn, PanelBlock.Dashboard, … in QML.
struct PanelBlockType
{
    Q_GADGET
    QML_FOREIGN(vesko::PanelBlocks)
    QML_NAMED_ELEMENT(PanelBlock)
    QML_UNCREATABLE("PanelBlock only names the panel's blocks.")
};

struct SignInTextType
{
    Q_GADGET
    QML_FOREIGN(vesko::SignInText)
    QML_VALUE_TYPE(signInText)
};

struct MessageTextType
{
    Q_GADGET
    QML_FOREIGN(vesko::MessageText)
    QML_VALUE_TYPE(messageText)
};

struct HeroTextType
{
    Q_GADGET
    QML_FOREIGN(vesko::HeroText)
    QML_VALUE_TYPE(heroText)
};

struct ChannelRowsType
{
    Q_GADGET
    QML_FOREIGN(vesko::ChannelRows)
    QML_VALUE_TYPE(channelRows)
};

struct ProjectRowsType
{
    Q_GADGET
    QML_FOREIGN(vesko::ProjectRows)
    QML_VALUE_TYPE(projectRows)
};

struct FigureRowType
{
    Q_GADGET
    QML_FOREIGN(vesko::FigureRow)
    QML_VALUE_TYPE(figureRow)
};

struct TrendTextType
{
    Q_GADGET
    QML_FOREIGN(vesko::TrendText)
    QML_VALUE_TYPE(trendText)
};

struct EventRowsType
{
    Q_GADGET
    QML_FOREIGN(vesko::EventRows)
    QML_VALUE_TYPE(eventRows)
};

struct FooterTextType
{
    Q_GADGET
    QML_FOREIGN(vesko::FooterText)
    QML_VALUE_TYPE(footerText)
};

struct PaletteType
{
    Q_GADGET
    QML_FOREIGN(vesko::Palette)
    QML_NAMED_ELEMENT(Palette)
    QML_UNCREATABLE("The panel's palette comes from Panel.colors.")
};

} // namespace vesko::qml
