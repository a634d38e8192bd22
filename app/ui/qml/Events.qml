import QtQuick
import Vesko.Panel

Card {
    title: Panel.events.title
    Accessible.role: Accessible.List

    PlainText {
        visible: text !== ""
        width: parent.width
        text: Panel.events.emptyText
        color: Panel.colors.mutedText
        wrapMode: Text.Wrap
    }
    Repeater {
        model: Panel.eventRows
        Item {
            id: event
            required property string badge
            required property string headline
            required property string detail
            required property string age
            required property string spoken
            required property color color
            width: parent.width
            height: Math.max(badge.height, lines.implicitHeight, age.height)
            Accessible.role: Accessible.ListItem
            Accessible.name: event.spoken

            Badge {
                id: badge
                objectName: "badge"
                anchors.verticalCenter: parent.verticalCenter
                text: event.badge
                color: event.color
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
                    text: event.headline
                    Accessible.ignored: true
                    font.weight: Font.Bold
                    wrapMode: Text.Wrap
                }
                PlainText {
                    width: parent.width
                    text: event.detail
                    Accessible.ignored: true
                    color: Panel.colors.mutedText
                    elide: Text.ElideRight
                    maximumLineCount: 1
                }
            }
            PlainText {
                id: age
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                text: event.age
                Accessible.ignored: true
                color: Panel.colors.mutedText
                font.pixelSize: 12
            }
        }
    }
}
