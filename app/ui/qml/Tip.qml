import QtQuick
import Vesko.Panel

// One hint: a pink capsule as its bullet, then wrapping muted text, and a
// command to type on a line of its own, never broken.
Row {
    id: tip
    property alias text: label.text
    property string command: ""
    spacing: 8

    Rectangle {
        y: 4
        width: 14
        height: 9
        radius: 4.5
        color: Panel.colors.brandPink
    }
    Column {
        width: tip.width - 14 - tip.spacing
        spacing: 4
        PlainText {
            id: label
            width: parent.width
            color: Panel.colors.mutedText
            wrapMode: Text.Wrap
        }
        Rectangle {
            visible: tip.command !== ""
            width: code.implicitWidth + 12
            height: code.implicitHeight + 4
            radius: 4
            color: Panel.colors.barTrack
            PlainText {
                id: code
                objectName: "tipCommand"
                x: 6
                y: 2
                text: tip.command
                font.family: "monospace"
                font.pixelSize: 12
            }
        }
    }
}
