import QtQuick

Column {
    spacing: 12
    padding: 6

    Image {
        width: 40
        height: 28
        sourceSize: Qt.size(40, 28)
        source: "image://snout/" + colors.brandBlue.toString().substring(1)
    }
    PlainText {
        text: panel.signInTitle
        font.family: displayFamily
        font.pixelSize: 24
        font.weight: Font.ExtraBold
    }
    PlainText {
        width: parent.width - 12
        text: panel.signInSentence
        color: colors.mutedText
        wrapMode: Text.Wrap
    }
    Row {
        spacing: 8
        PrimaryButton {
            objectName: "signInButton"
            text: panel.signInButtonTitle
            enabled: panel.signInButtonEnabled
            onClicked: panel.signIn()
        }
        // No browser sheet of our own to cancel from, so the panel offers it.
        PrimaryButton {
            objectName: "cancelSignInButton"
            visible: panel.signInPending
            text: panel.cancelSignInTitle
            onClicked: panel.cancelSignIn()
        }
    }
}
