import QtQuick

Card {
    title: panel.eventsTitle

    PlainText {
        visible: text !== ""
        width: parent.width
        text: panel.eventsEmptyText
        color: colors.mutedText
        wrapMode: Text.Wrap
    }
    Repeater {
        model: panel.eventRows
        Item {
            required property var modelData
            width: parent.width
            height: Math.max(badge.height, lines.implicitHeight, age.height)

            Badge {
                id: badge
                anchors.verticalCenter: parent.verticalCenter
                text: modelData.badge
                color: modelData.badgeColor
            }
            Column {
                id: lines
                anchors.verticalCenter: parent.verticalCenter
                x: badge.width + 10
                // 10 on each side of a flexible gap of at least 4 before the age.
                width: parent.width - x - 24 - age.width
                spacing: 1
                PlainText {
                    width: parent.width
                    text: modelData.headline
                    font.weight: Font.Bold
                    wrapMode: Text.Wrap
                }
                PlainText {
                    width: parent.width
                    text: modelData.detail
                    color: colors.mutedText
                    elide: Text.ElideRight
                    maximumLineCount: 1
                }
            }
            PlainText {
                id: age
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                text: modelData.age
                color: colors.mutedText
                font.pixelSize: 12
            }
        }
    }
}
