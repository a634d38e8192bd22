import QtQuick
import Vesko.Panel

// Every badge is the same size whatever its text.
Rectangle {
    property alias text: label.text
    width: 70
    height: 22
    radius: 11

    PlainText {
        id: label
        anchors.centerIn: parent
        color: Panel.colors.navy
        font.pixelSize: 11
        font.weight: Font.Bold
        // The row it sits in reads it.
        Accessible.ignored: true
    }
}
