import QtQuick
import Vesko.Panel

// Drawn around the control that has the keyboard, just outside its edge, so
// it shows on a filled button as well as on the panel.
Rectangle {
    property real cornerRadius: 6
    objectName: "focusRing"
    anchors.fill: parent
    anchors.margins: -3
    radius: cornerRadius + 3
    color: "transparent"
    border.width: 2
    border.color: Panel.colors.accent
    visible: parent ? parent.activeFocus : false
}
