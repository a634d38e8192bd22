import QtQuick
import Vesko.Panel

// An indeterminate progress mark: eight dots fading round a circle.
Item {
    id: spinner
    implicitWidth: 24
    implicitHeight: 24

    Repeater {
        model: 8
        Rectangle {
            required property int index
            width: 4
            height: 4
            radius: 2
            color: Panel.colors.mutedText
            opacity: 0.2 + 0.8 * index / 7
            x: 10 + 9 * Math.cos(index * Math.PI / 4)
            y: 10 + 9 * Math.sin(index * Math.PI / 4)
        }
    }
    RotationAnimator on rotation {
        from: 0
        to: 360
        duration: 1000
        loops: Animation.Infinite
        running: spinner.visible
    }
}
