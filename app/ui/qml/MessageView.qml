import QtQuick
import Vesko.Panel

Column {
    spacing: 8
    padding: 6

    PlainText {
        text: Panel.state.message.title
        Accessible.role: Accessible.Heading
        Accessible.name: text
        font.family: Panel.displayFamily
        font.pixelSize: 20
        font.weight: Font.Bold
    }
    PlainText {
        width: parent.width - 12
        text: Panel.state.message.message
        color: Panel.colors.mutedText
        wrapMode: Text.Wrap
    }
    PrimaryButton {
        objectName: "messageButton"
        text: Panel.state.message.actionTitle
        onClicked: Panel.messageAction()
    }
}
