import QtQuick
import Vesko.Panel

// The panel: one fixed-width column whose height follows its content up to
// `maximumHeight` (what its screen allows); past that the column scrolls and
// the footer stays put. Hidden sections take no room and no spacing.
Item {
    id: root
    objectName: "panelRoot"
    width: 360
    height: Math.min(naturalHeight, maximumHeight)
    // The keyboard starts on the panel itself: Tab then walks its controls in
    // the order they are drawn, and Escape puts a standalone panel away (the
    // drop-down's own window handles Escape before it gets here).
    focus: true
    Keys.onEscapePressed: root.Window.window.close()

    // Set by the window that shows the Panel.
    property real maximumHeight: 100000
    // Rounded corners where the window may be see-through around them.
    property bool rounded: false

    readonly property real naturalHeight: scroller.contentHeight + footerArea.height + 2 * frame.border.width
    readonly property bool scrolls: scroller.contentHeight > scroller.height + 0.5

    Rectangle {
        id: frame
        anchors.fill: parent
        radius: root.rounded ? 12 : 0
        color: Panel.colors.panelBackground
        border.color: Panel.colors.panelBorder
        border.width: 1
    }

    Flickable {
        id: scroller
        objectName: "scroller"
        x: frame.border.width
        y: frame.border.width
        width: root.width - 2 * x
        height: root.height - 2 * y - footerArea.height
        contentWidth: width
        contentHeight: stack.y + stack.implicitHeight + (footerArea.visible ? 0 : 17)
        interactive: root.scrolls
        clip: root.scrolls
        boundsBehavior: Flickable.StopAtBounds

        Column {
            id: stack
            x: 13
            y: 13
            width: root.width - 28
            spacing: 12

            SignedOutView {
                objectName: "signedOut"
                width: parent.width
                visible: Panel.state.block === PanelBlock.SignIn
            }
            MessageView {
                objectName: "message"
                width: parent.width
                visible: Panel.state.block === PanelBlock.Message
            }
            Item {
                objectName: "spinner"
                width: parent.width
                height: 180
                Accessible.role: Accessible.StaticText
                Accessible.name: "Loading"
                visible: Panel.state.block === PanelBlock.Spinner
                Spinner { anchors.centerIn: parent }
            }
            Hero {
                objectName: "hero"
                width: parent.width
                visible: Panel.state.block === PanelBlock.Dashboard
            }
            Figures {
                objectName: "figures"
                width: parent.width
                visible: Panel.state.block === PanelBlock.Dashboard && Panel.figures.hasSources
            }
            NoSources {
                objectName: "noSources"
                width: parent.width
                visible: Panel.state.block === PanelBlock.Dashboard && !Panel.figures.hasSources
            }
            Channels {
                objectName: "channels"
                width: parent.width
                visible: Panel.state.block === PanelBlock.Dashboard && Panel.state.showsChannels
                         && Panel.figures.hasSources
            }
            Projects {
                objectName: "projects"
                width: parent.width
                visible: Panel.state.block === PanelBlock.Dashboard && Panel.projects.shown
            }
            Events {
                objectName: "events"
                width: parent.width
                visible: Panel.state.block === PanelBlock.Dashboard
            }
        }
    }

    // Where the column scrolls: a thumb on the right.
    Rectangle {
        visible: root.scrolls
        x: root.width - 6
        y: scroller.y + 4 + scroller.visibleArea.yPosition * (scroller.height - 8)
        width: 3
        height: Math.max(24, scroller.visibleArea.heightRatio * (scroller.height - 8))
        radius: 1.5
        color: Panel.colors.mutedText
        opacity: 0.35
    }

    Item {
        id: footerArea
        visible: Panel.state.showsFooter
        x: frame.border.width
        y: root.height - frame.border.width - height
        width: root.width - 2 * x
        height: visible ? footerColumn.implicitHeight + 12 + 17 : 0

        // Content passes under the footer only while the column scrolls.
        Rectangle {
            visible: root.scrolls
            width: parent.width
            height: 1
            color: Panel.colors.hairline
        }
        Column {
            id: footerColumn
            x: 13
            y: 12
            width: root.width - 28
            spacing: 10

            // How Vesko's own update check came out.
            Item {
                objectName: "updateLine"
                visible: Panel.updateNote !== ""
                width: parent.width
                height: Math.max(updateNote.implicitHeight, updateAction.implicitHeight)

                PlainText {
                    id: updateNote
                    objectName: "updateNote"
                    anchors.left: parent.left
                    anchors.right: updateAction.visible ? updateAction.left : parent.right
                    anchors.rightMargin: 8
                    anchors.verticalCenter: parent.verticalCenter
                    text: Panel.updateNote
                    color: Panel.colors.mutedText
                    font.pixelSize: 12
                    elide: Text.ElideRight
                }
                LinkText {
                    id: updateAction
                    objectName: "updateAction"
                    visible: text !== ""
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    text: Panel.updateActionTitle
                    font.pixelSize: 12
                    onActivated: Panel.updateAction()
                }
            }
            Footer {
                id: footer
                objectName: "footer"
                width: parent.width
            }
        }
    }
}
