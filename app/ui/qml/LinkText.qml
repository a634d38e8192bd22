import QtQuick
import Vesko.Panel

// Text that acts: underlined, reachable by Tab, pressed by Space or Enter.
PlainText {
    id: link
    signal activated()

    color: Panel.colors.accent
    font.underline: true
    activeFocusOnTab: true
    Accessible.role: Accessible.Link
    Accessible.name: text
    Accessible.onPressAction: link.activated()
    Keys.onSpacePressed: link.activated()
    Keys.onReturnPressed: link.activated()
    Keys.onEnterPressed: link.activated()

    MouseArea {
        anchors.fill: parent
        cursorShape: Qt.PointingHandCursor // qmllint disable type
        onClicked: link.activated()
    }
    FocusRing {
        cornerRadius: 2
    }
}
