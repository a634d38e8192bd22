import QtQuick

// One hint: a pink capsule as its bullet, then wrapping muted text.
Row {
    id: tip
    property alias text: label.text
    spacing: 8

    Rectangle {
        y: 4
        width: 14
        height: 9
        radius: 4.5
        color: colors.brandPink
    }
    PlainText {
        id: label
        width: tip.width - 14 - tip.spacing
        color: colors.mutedText
        wrapMode: Text.Wrap
    }
}
