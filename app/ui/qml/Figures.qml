import QtQuick
import Vesko.Panel

// ARR and the subscription counts, in equal columns on one surface.
Rectangle {
    id: strip
    implicitHeight: cells.implicitHeight + 20
    radius: 14
    color: Panel.colors.cardSurface
    border.color: Panel.colors.hairline
    border.width: 1

    Row {
        id: cells
        x: 6
        y: 10
        width: strip.width - 12

        Repeater {
            model: Panel.figureRows
            Item {
                id: figure
                required property string value
                required property string label
                required property string spoken
                required property int index
                width: parent.width / Panel.figures.columns
                height: texts.implicitHeight
                Accessible.role: Accessible.StaticText
                Accessible.name: figure.spoken

                // Hairlines between the columns.
                Rectangle {
                    visible: figure.index > 0
                    y: 2
                    width: 1
                    height: parent.height - 4
                    color: Panel.colors.hairline
                }
                Column {
                    id: texts
                    width: parent.width
                    spacing: 1

                    PlainText {
                        width: parent.width
                        horizontalAlignment: Text.AlignHCenter
                        text: figure.value
                        Accessible.ignored: true
                        font.family: Panel.displayFamily
                        font.pixelSize: 16
                        font.weight: Font.Bold
                        fontSizeMode: Text.HorizontalFit
                        minimumPixelSize: 11
                    }
                    PlainText {
                        width: parent.width
                        horizontalAlignment: Text.AlignHCenter
                        text: figure.label
                        Accessible.ignored: true
                        color: Panel.colors.mutedText
                        font.pixelSize: 11
                    }
                }
            }
        }
    }
}
