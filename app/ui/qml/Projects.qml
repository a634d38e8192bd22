import QtQuick
import Vesko.Panel

// MRR by project; a row narrows the panel to its project.
Card {
    title: Panel.projects.title

    Repeater {
        model: Panel.projectRows
        Item {
            id: project
            objectName: "projectRow"
            required property string projectId
            required property string name
            required property string amount
            required property string spoken
            required property real fraction
            required property color color
            width: parent.width
            height: lines.implicitHeight

            activeFocusOnTab: true
            Accessible.role: Accessible.Button
            Accessible.name: project.spoken
            Accessible.description: "Shows only this project"
            Accessible.onPressAction: Panel.chooseProject(project.projectId)
            Keys.onSpacePressed: Panel.chooseProject(project.projectId)
            Keys.onReturnPressed: Panel.chooseProject(project.projectId)
            Keys.onEnterPressed: Panel.chooseProject(project.projectId)

            Column {
                id: lines
                width: parent.width
                spacing: 5

                Item {
                    width: parent.width
                    height: Math.max(label.height, amount.height)
                    Rectangle {
                        id: dot
                        anchors.verticalCenter: parent.verticalCenter
                        width: 8
                        height: 8
                        radius: 4
                        color: project.color
                    }
                    PlainText {
                        id: label
                        anchors.left: dot.right
                        anchors.leftMargin: 6
                        anchors.right: amount.left
                        anchors.rightMargin: 10
                        anchors.verticalCenter: parent.verticalCenter
                        text: project.name
                        Accessible.ignored: true
                        font.weight: Font.Bold
                        elide: Text.ElideRight
                    }
                    PlainText {
                        id: amount
                        anchors.right: parent.right
                        anchors.verticalCenter: parent.verticalCenter
                        text: project.amount
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
                        objectName: "projectBarFill"
                        width: Panel.barFillWidth(track.width, project.fraction)
                        height: 8
                        radius: 4
                        color: project.color
                    }
                }
            }
            // The whole row, name and bar alike.
            MouseArea {
                anchors.fill: parent
                cursorShape: Qt.PointingHandCursor // qmllint disable type
                onClicked: Panel.chooseProject(project.projectId)
            }
            FocusRing {
                cornerRadius: 4
            }
        }
    }
}
