import QtQuick

// The filled brand button: only the pressed state changes the drawing.
Item {
    id: button
    property alias text: label.text
    signal clicked()

    implicitWidth: label.implicitWidth + 28
    implicitHeight: 32

    Rectangle {
        anchors.fill: parent
        radius: 10
        color: colors.brandBlue
        opacity: area.pressed ? 0.85 : 1
    }
    PlainText {
        id: label
        anchors.centerIn: parent
        color: "white"
        font.weight: Font.Bold
    }
    MouseArea {
        id: area
        anchors.fill: parent
        enabled: button.enabled
        onClicked: button.clicked()
    }
}
