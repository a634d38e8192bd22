import QtQuick
import Vesko.Panel

Card {
    title: Panel.channels.title
    Accessible.role: Accessible.List

    Repeater {
        model: Panel.channelRows
        Column {
            id: channel
            required property string label
            required property string source
            required property string amount
            required property string spoken
            required property real fraction
            required property color color
            width: parent.width
            spacing: 5
            // One line for a screen reader; the bar repeats the amount.
            Accessible.role: Accessible.ListItem
            Accessible.name: channel.spoken

            Item {
                width: parent.width
                height: Math.max(label.height, amount.height)
                Row {
                    spacing: 6
                    anchors.verticalCenter: parent.verticalCenter
                    Rectangle {
                        anchors.verticalCenter: parent.verticalCenter
                        width: 8
                        height: 8
                        radius: 4
                        color: channel.color
                    }
                    PlainText {
                        id: label
                        text: channel.label
                        Accessible.ignored: true
                        font.weight: Font.Bold
                    }
                    PlainText {
                        text: channel.source
                        Accessible.ignored: true
                        color: Panel.colors.mutedText
                    }
                }
                PlainText {
                    id: amount
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    text: channel.amount
                    Accessible.ignored: true
                    // Tabular figures: the column keeps its width as amounts change.
                    font.family: Panel.displayFamily
                    font.weight: Font.Bold
                }
            }
            Rectangle {
                id: track
                width: parent.width
                height: 8
                radius: 4
                color: Panel.colors.barTrack
                Rectangle {
                    objectName: "barFill"
                    width: Panel.barFillWidth(track.width, channel.fraction)
                    height: 8
                    radius: 4
                    color: channel.color
                }
            }
        }
    }
}
