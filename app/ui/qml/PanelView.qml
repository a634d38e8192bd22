import QtQuick

// The panel: one fixed-width column whose height follows its content. Hidden
// sections take no room and no spacing.
Rectangle {
    id: root
    width: 360
    height: stack.implicitHeight + 14 + 18
    color: colors.panelBackground

    Column {
        id: stack
        x: 14
        y: 14
        width: root.width - 28
        spacing: 12

        SignedOutView {
            objectName: "signedOut"
            width: parent.width
            visible: panel.block === "signIn"
        }
        MessageView {
            objectName: "message"
            width: parent.width
            visible: panel.block === "message"
        }
        Item {
            objectName: "spinner"
            width: parent.width
            height: 180
            visible: panel.block === "spinner"
            Spinner { anchors.centerIn: parent }
        }
        Hero {
            objectName: "hero"
            width: parent.width
            visible: panel.block === "dashboard"
        }
        Channels {
            objectName: "channels"
            width: parent.width
            visible: panel.block === "dashboard" && panel.showsChannels
        }
        Veskos {
            objectName: "veskos"
            width: parent.width
            visible: panel.block === "dashboard"
        }
        Footer {
            objectName: "footer"
            width: parent.width
            visible: panel.showsFooter
        }
    }
}
