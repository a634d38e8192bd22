import QtQuick

Card {
    title: panel.channelsTitle

    Repeater {
        model: panel.channelRows
        Column {
            required property var modelData
            width: parent.width
            spacing: 5

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
                        color: modelData.color
                    }
                    PlainText {
                        id: label
                        text: modelData.label
                        font.weight: Font.Bold
                    }
                    PlainText {
                        text: modelData.source
                        color: colors.mutedText
                    }
                }
                PlainText {
                    id: amount
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    text: modelData.amount
                    // Tabular figures: the column keeps its width as amounts change.
                    font.family: displayFamily
                    font.weight: Font.Bold
                }
            }
            Rectangle {
                id: track
                width: parent.width
                height: 8
                radius: 4
                color: colors.barTrack
                Rectangle {
                    objectName: "barFill"
                    width: panel.barFillWidth(track.width, modelData.fraction)
                    height: 8
                    radius: 4
                    color: modelData.color
                }
            }
        }
    }
}
