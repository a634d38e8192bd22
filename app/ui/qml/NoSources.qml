import QtQuick
import Vesko.Panel

// In place of the cards while the account has no revenue source to show.
Card {
    title: Panel.figures.noSourceTitle

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
