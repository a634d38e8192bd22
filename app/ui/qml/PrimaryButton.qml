import QtQuick
import Vesko.Panel

// The filled brand button. Pressed, it darkens a little; disabled, it goes
// flat and muted so it never reads like the live button beside it.
Item {
    id: button
    property alias text: label.text
    signal clicked()

    implicitWidth: label.implicitWidth + 28
    implicitHeight: 32
    activeFocusOnTab: enabled
    Accessible.role: Accessible.Button
    Accessible.name: text
    Accessible.onPressAction: if (button.enabled) button.clicked()
    Keys.onSpacePressed: button.clicked()
    Keys.onReturnPressed: button.clicked()
    Keys.onEnterPressed: button.clicked()

    Rectangle {
        anchors.fill: parent
        radius: 10
        color: button.enabled ? Panel.colors.brandBlue : Panel.colors.barTrack
        border.color: button.enabled ? "transparent" : Panel.colors.hairline
        border.width: button.enabled ? 0 : 1
        opacity: area.pressed ? 0.85 : 1
    }
    PlainText {
        id: label
        anchors.centerIn: parent
        color: button.enabled ? "white" : Panel.colors.mutedText
        font.weight: Font.Bold
        Accessible.ignored: true
    }
    MouseArea {
        id: area
        anchors.fill: parent
        enabled: button.enabled
        onClicked: button.clicked()
    }
    FocusRing {
        cornerRadius: 10
    }
}
