import QtQuick
import Vesko.Panel

// In place of the cards while the account has no revenue source to show.
Rectangle {
    id: card
    implicitHeight: stack.implicitHeight + 28
    radius: 14
    color: Panel.colors.cardSurface
    border.color: Panel.colors.hairline
    border.width: 1

    Column {
        id: stack
        x: 14
        y: 14
        width: card.width - 28
        spacing: 10

        PlainText {
            width: parent.width
            text: Panel.figures.noSourceNote
            color: Panel.colors.mutedText
            wrapMode: Text.Wrap
        }
        PrimaryButton {
            objectName: "connectSourceButton"
            text: Panel.figures.noSourceAction
            onClicked: Panel.openDashboard()
        }
    }
}
