import QtQuick
import Vesko.Panel

// The blue headline card. The software renderer clips only to rectangles, so
// the rounded card and its pink stripe are painted together on a canvas.
Item {
    id: hero
    implicitHeight: stack.implicitHeight + 32
    // Read as one sentence; the texts drawn below are not read again.
    Accessible.role: Accessible.StaticText
    Accessible.name: Panel.hero.spoken

    Canvas {
        id: background
        anchors.fill: parent
        onWidthChanged: requestPaint()
        onHeightChanged: requestPaint()
        onPaint: {
            const ctx = getContext("2d");
            ctx.reset();
            ctx.beginPath();
            ctx.roundedRect(0, 0, width, height, 16, 16);
            ctx.closePath();
            ctx.fillStyle = Panel.colors.brandBlue;
            ctx.fill();
            ctx.clip();
            // A 220 × 64 capsule whose centre starts at (width − 110, 32),
            // turned −45° about it, then moved 110 right and 40 up.
            ctx.translate(width, 32 - 40);
            ctx.rotate(-Math.PI / 4);
            ctx.beginPath();
            ctx.roundedRect(-110, -32, 220, 64, 32, 32);
            ctx.closePath();
            ctx.fillStyle = Panel.colors.brandPink;
            ctx.fill();
        }
    }

    Column {
        id: stack
        x: 16
        y: 16
        width: hero.width - 32
        spacing: 6

        PlainText {
            text: Panel.hero.caption
            Accessible.ignored: true
            color: "white"
            font.pixelSize: 10
            font.weight: Font.Bold
            font.letterSpacing: 1.2
        }
        Item {
            width: parent.width
            implicitHeight: Math.max(figure.height, pill.visible ? pill.y + pill.height : 0)

            PlainText {
                id: figure
                objectName: "heroFigure"
                width: parent.width - (pill.visible ? pill.width + 10 : 0)
                text: Panel.hero.figure
                color: "white"
                font.family: Panel.displayFamily
                font.pixelSize: 48
                font.weight: Font.ExtraBold
                font.letterSpacing: -1.5
                fontSizeMode: Text.HorizontalFit
                minimumPixelSize: 29
                wrapMode: Text.NoWrap
                clip: true
                Accessible.ignored: true
            }
            // Sits on the figure's baseline.
            Rectangle {
                id: pill
                visible: Panel.hero.growth !== ""
                x: figure.contentWidth + 10
                y: figure.baselineOffset - growth.y - growth.baselineOffset
                width: growth.implicitWidth + 16
                height: growth.implicitHeight + 6
                radius: 8
                color: Panel.colors.mint
                PlainText {
                    id: growth
                    x: 8
                    y: 3
                    text: Panel.hero.growth
                    Accessible.ignored: true
                    color: Panel.colors.navy
                    font.pixelSize: 12
                    font.weight: Font.Bold
                }
            }
        }
        PlainText {
            visible: text !== ""
            width: parent.width
            text: Panel.hero.exactLine
            Accessible.ignored: true
            color: "white"
            opacity: 0.9
            font.pixelSize: 12
            font.weight: Font.Medium
            wrapMode: Text.Wrap
        }
        PlainText {
            visible: text !== ""
            width: parent.width
            text: Panel.hero.exchangeNote
            Accessible.ignored: true
            color: "white"
            opacity: 0.9
            font.pixelSize: 12
            font.weight: Font.Medium
            wrapMode: Text.Wrap
        }
        // The last 30 days, and the change since a week ago.
        Item {
            objectName: "trend"
            visible: Panel.trend.showsLine || Panel.trend.change !== ""
            width: parent.width
            implicitHeight: (line.visible ? line.height + 4 : 0) + (change.visible ? change.height : 0)

            Sparkline {
                id: line
                objectName: "sparkline"
                visible: Panel.trend.showsLine
                width: parent.width
                height: 36
                // A list of QPointF: fine at run time, unknown to qmllint in Qt 6.4.
                points: Panel.trend.points // qmllint disable type
                color: "white"
                lineWidth: 2
                Accessible.role: Accessible.Graphic
                Accessible.name: "MRR trend"
                Accessible.description: Panel.trend.spoken
            }
            PlainText {
                id: change
                objectName: "trendChange"
                visible: text !== ""
                y: line.visible ? line.height + 4 : 0
                text: Panel.trend.change
                Accessible.ignored: true
                color: "white"
                opacity: 0.9
                font.pixelSize: 12
                font.weight: Font.Bold
            }
        }
    }
}
