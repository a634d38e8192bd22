import QtQuick

Column {
    spacing: 8
    padding: 6

    PlainText {
        text: panel.messageTitle
        font.family: displayFamily
        font.pixelSize: 20
        font.weight: Font.Bold
    }
    PlainText {
        width: parent.width - 12
        text: panel.messageText
        color: colors.mutedText
        wrapMode: Text.Wrap
    }
    PrimaryButton {
        objectName: "messageButton"
        text: panel.messageActionTitle
        onClicked: panel.messageAction()
    }
}
