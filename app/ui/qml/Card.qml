import QtQuick
import Vesko.Panel

// A titled, outlined surface; what is declared inside becomes its rows.
Rectangle {
    id: card
    property alias title: titleText.text
    default property alias rows: stack.data

    implicitHeight: stack.implicitHeight + 28
    radius: 14
    color: Panel.colors.cardSurface
    border.color: Panel.colors.hairline
    border.width: 1
    Accessible.role: Accessible.Grouping
    Accessible.name: title

    Column {
        id: stack
        x: 14
        y: 14
        width: card.width - 28
        spacing: 10
        PlainText {
            id: titleText
            Accessible.role: Accessible.Heading
            Accessible.name: text
            font.family: Panel.displayFamily
            font.pixelSize: 15
            font.weight: Font.Bold
        }
    }
}
