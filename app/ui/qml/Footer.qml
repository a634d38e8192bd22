import QtQuick
import Vesko.Panel

Item {
    implicitHeight: dashboard.implicitHeight

    PlainText {
        visible: text !== ""
        anchors.left: parent.left
        anchors.right: more.left
        anchors.rightMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        elide: Text.ElideRight
        text: Panel.footer.refreshNote
        color: Panel.colors.mutedText
        font.pixelSize: 12
    }
    // Three dots opening the menu of settings and commands.
    Item {
        id: more
        objectName: "moreButton"
        anchors.right: dashboard.left
        anchors.rightMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        width: 22
        height: 22
        activeFocusOnTab: true
        Accessible.role: Accessible.Button
        Accessible.name: Panel.footer.menuLabel
        // From the keyboard or a screen reader, the first entry takes the keys.
        Accessible.onPressAction: menu.openBelow(more, true)
        Keys.onSpacePressed: menu.openBelow(more, true)
        Keys.onReturnPressed: menu.openBelow(more, true)
        Keys.onEnterPressed: menu.openBelow(more, true)
        Keys.onDownPressed: menu.openBelow(more, true)
        MouseArea {
            anchors.fill: parent
            onClicked: menu.visible ? menu.close() : menu.openBelow(more, false)
        }
        FocusRing {
            cornerRadius: 11
        }
        Row {
            anchors.centerIn: parent
            Accessible.ignored: true
            spacing: 3
            Repeater {
                model: 3
                Rectangle { width: 4; height: 4; radius: 2; color: Panel.colors.ink }
            }
        }
    }
    FooterMenu {
        id: menu
    }
    PrimaryButton {
        id: dashboard
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        text: Panel.footer.openDashboard
        onClicked: Panel.openDashboard()
    }
}
