import QtQuick
import Vesko.Panel

Column {
    spacing: 12
    padding: 6

    Image {
        width: 40
        height: 28
        sourceSize: Qt.size(40, 28) // qmllint disable type
        source: "image://snout/" + Panel.colors.brandBlue.toString().substring(1)
    }
    PlainText {
        text: Panel.state.signIn.title
        Accessible.role: Accessible.Heading
        Accessible.name: text
        font.family: Panel.displayFamily
        font.pixelSize: 24
        font.weight: Font.ExtraBold
    }
    PlainText {
        width: parent.width - 12
        text: Panel.state.signIn.sentence
        color: Panel.colors.mutedText
        wrapMode: Text.Wrap
    }
    Row {
        spacing: 8
        PrimaryButton {
            objectName: "signInButton"
            text: Panel.state.signIn.buttonTitle
            enabled: Panel.state.signIn.buttonEnabled
            onClicked: Panel.signIn()
        }
        // No browser sheet of our own to cancel from, so the panel offers it.
        PrimaryButton {
            objectName: "cancelSignInButton"
            visible: Panel.signInPending
            text: Panel.cancelSignInTitle
            onClicked: Panel.cancelSignIn()
        }
    }
}
