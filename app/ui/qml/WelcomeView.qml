import QtQuick
import Vesko.Panel

// Shown once: where to find the tray item, and what to do when it is missing.
Rectangle {
    id: root
    required property StandaloneWindows windows
    width: 420
    height: stack.implicitHeight + 48
    color: Panel.colors.panelBackground
    focus: true
    Keys.onReturnPressed: gotIt.clicked()
    Keys.onEnterPressed: gotIt.clicked()

    Column {
        id: stack
        x: 24
        y: 24
        width: root.width - 48
        spacing: 16

        Image {
            width: 40
            height: 28
            sourceSize: Qt.size(40, 28) // qmllint disable type
            source: "image://snout/" + Panel.colors.brandBlue.toString().substring(1)
        }
        PlainText {
            width: parent.width
            text: "Vesko is in your panel"
            Accessible.role: Accessible.Heading
            Accessible.name: text
            font.family: Panel.displayFamily
            font.pixelSize: 26
            font.weight: Font.ExtraBold
            wrapMode: Text.Wrap
        }
        PlainText {
            width: parent.width
            text: "Look for the snout next to the clock. Click it for your MRR and the latest subscribers."
            wrapMode: Text.Wrap
        }
        Rectangle {
            width: parent.width
            height: hints.implicitHeight + 28
            radius: 14
            color: Panel.colors.cardSurface
            border.color: Panel.colors.hairline
            border.width: 1

            Column {
                id: hints
                x: 14
                y: 14
                width: parent.width - 28
                spacing: 8

                PlainText {
                    text: "Where to find it"
                    font.weight: Font.Bold
                }
                Tip {
                    width: parent.width
                    text: "GNOME: turn on the AppIndicator extension; the snout and your MRR then show in the top bar."
                }
                Tip {
                    width: parent.width
                    text: "KDE Plasma: the snout is in the system tray. For the figure in the panel itself, add the Vesko widget."
                }
                Tip {
                    width: parent.width
                    text: "Xfce: the snout is in the Status Tray. For the figure, add a Generic Monitor running"
                    command: "vesko status --format genmon"
                }
                Tip {
                    width: parent.width
                    text: "Waybar, Polybar and other bars: a custom module running"
                    command: "vesko status --watch"
                }
                Tip {
                    width: parent.width
                    text: "No tray at all? Start Vesko again from your applications menu: the panel opens in a window."
                }
            }
        }
        Item {
            width: parent.width
            height: gotIt.implicitHeight

            LinkText {
                objectName: "openHereLink"
                anchors.verticalCenter: parent.verticalCenter
                text: "Open Vesko here"
                onActivated: root.windows.openHere()
            }
            PrimaryButton {
                id: gotIt
                objectName: "gotItButton"
                anchors.right: parent.right
                width: implicitWidth
                height: implicitHeight
                text: "Got it"
                onClicked: root.windows.dismissWelcome()
            }
        }
    }
}
