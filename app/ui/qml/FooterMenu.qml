import QtQuick
import Vesko.Panel

// The More menu. A popup window of its own, so it may be taller than the
// panel it drops from.
Window {
    id: menu
    objectName: "footerMenu"
    flags: Qt.Popup | Qt.FramelessWindowHint // qmllint disable type
    // What a screen reader announces as the menu's window comes up.
    title: Panel.footer.menuLabel
    width: 236
    height: items.implicitHeight + 2 * items.y
    color: Panel.colors.cardSurface

    // Read when the menu opens; the login item is the only record of it.
    property bool loginOn: false
    property bool wasActive: false

    // Top-right corner under `anchor`, or above it when the screen ends first.
    // Opened from the keyboard, the first entry has the focus; otherwise the
    // menu itself, so that Down still reaches the first entry.
    function openBelow(anchor, fromKeyboard) {
        loginOn = Panel.readOpenAtLogin()
        const corner = anchor.mapToGlobal(anchor.width, anchor.height + 4)
        const top = anchor.mapToGlobal(0, -4).y - height
        x = Math.max(0, corner.x - width)
        y = corner.y + height > Screen.desktopAvailableHeight && top >= 0 ? top : corner.y
        wasActive = false
        show()
        requestActivate()
        if (fromKeyboard)
            items.nextItemInFocusChain(true).forceActiveFocus()
        else
            items.forceActiveFocus()
    }
    // Any item does its work after the menu is gone.
    function choose(action) {
        close()
        action()
    }

    // The panel takes the keyboard back, and with it the focus it had.
    onVisibleChanged: {
        if (!visible && transientParent)
            transientParent.requestActivate()
    }
    onActiveChanged: {
        if (active)
            wasActive = true
        else if (wasActive)
            close()
    }

    component Check: Item {
        width: 12
        height: 12
        Rectangle { x: 1; y: 6; width: 5; height: 2; radius: 1; rotation: 45; color: Panel.colors.ink }
        Rectangle { x: 3; y: 4.5; width: 10; height: 2; radius: 1; rotation: -55; color: Panel.colors.ink }
    }
    component Entry: Rectangle {
        id: entry
        property alias text: label.text
        property alias elide: label.elide
        property bool checkable: false
        property bool checked: false
        property bool indented: false
        // One of a set of choices, of which one is checked.
        property bool exclusive: false
        signal triggered()
        width: parent ? parent.width : 0
        height: 26
        radius: 5
        color: area.containsMouse || activeFocus ? Panel.colors.barTrack : "transparent"
        activeFocusOnTab: true
        Accessible.role: exclusive ? Accessible.RadioButton : checkable ? Accessible.CheckBox : Accessible.MenuItem
        Accessible.name: text
        Accessible.checkable: checkable
        Accessible.checked: checked
        Accessible.onPressAction: entry.triggered()
        Accessible.onToggleAction: entry.triggered()
        // Up and Down walk the entries and wrap round, as Tab does.
        Keys.onUpPressed: entry.nextItemInFocusChain(false).forceActiveFocus()
        Keys.onDownPressed: entry.nextItemInFocusChain(true).forceActiveFocus()
        Keys.onSpacePressed: entry.triggered()
        Keys.onReturnPressed: entry.triggered()
        Keys.onEnterPressed: entry.triggered()
        Check {
            anchors.verticalCenter: parent.verticalCenter
            x: entry.indented ? 16 : 8
            visible: entry.checked
        }
        PlainText {
            id: label
            anchors.verticalCenter: parent.verticalCenter
            x: entry.indented ? 34 : 26
            Accessible.ignored: true
            width: entry.width - x - 8
        }
        MouseArea {
            id: area
            anchors.fill: parent
            hoverEnabled: true
            onClicked: entry.triggered()
        }
        FocusRing {
            anchors.margins: 0
            cornerRadius: 3
        }
    }

    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.color: Panel.colors.hairline
    }
    Column {
        id: items
        x: 6
        y: 6
        width: menu.width - 12
        Accessible.role: Accessible.PopupMenu
        Accessible.name: Panel.footer.menuLabel
        Keys.onDownPressed: items.nextItemInFocusChain(true).forceActiveFocus()
        Keys.onUpPressed: items.nextItemInFocusChain(false).forceActiveFocus()

        Entry {
            text: Panel.footer.accountSettings
            onTriggered: menu.choose(() => Panel.openSettings())
        }
        PlainText {
            x: 26
            height: 24
            verticalAlignment: Text.AlignVCenter
            text: Panel.footer.showInTray
            color: Panel.colors.mutedText
            font.pixelSize: 12
        }
        Repeater {
            model: Panel.trayStyleChoices
            Column {
                id: choice
                required property string title
                required property int style
                required property string note
                width: parent ? parent.width : 0
                Entry {
                    text: choice.title
                    indented: true
                    checkable: true
                    exclusive: true
                    checked: Panel.trayStyle === choice.style
                    Accessible.description: choice.note
                    // A delegate: the menu is reached through its window.
                    onTriggered: {
                        choice.Window.window.close()
                        Panel.trayStyle = choice.style
                    }
                }
                PlainText {
                    x: 34
                    width: parent.width - x - 8
                    visible: choice.note !== ""
                    text: choice.note
                    wrapMode: Text.WordWrap
                    // The choice above reads it as its description.
                    Accessible.ignored: true
                    color: Panel.colors.mutedText
                    font.pixelSize: 11
                    bottomPadding: 4
                }
            }
        }
        PlainText {
            x: 26
            height: 24
            visible: projects.count > 0
            verticalAlignment: Text.AlignVCenter
            text: Panel.footer.showProject
            color: Panel.colors.mutedText
            font.pixelSize: 12
        }
        Repeater {
            id: projects
            model: Panel.projectChoices
            Entry {
                id: project
                required property string projectId
                required property string title
                required property bool chosen
                objectName: "project_" + projectId
                text: title
                indented: true
                checkable: true
                exclusive: true
                checked: chosen
                elide: Text.ElideRight
                // A delegate: the menu is reached through its window.
                onTriggered: {
                    project.Window.window.close()
                    Panel.chooseProject(project.projectId)
                }
            }
        }
        Entry {
            text: Panel.footer.openAtLogin
            checkable: true
            checked: menu.loginOn
            onTriggered: menu.choose(() => Panel.setOpenAtLogin(!menu.loginOn))
        }
        Entry {
            text: Panel.footer.hideAmounts
            checkable: true
            checked: Panel.hideAmounts
            onTriggered: menu.choose(() => Panel.hideAmounts = !Panel.hideAmounts)
        }
        Entry {
            objectName: "notifySalesEntry"
            visible: Panel.offersSaleNotifications
            text: Panel.footer.notifySales
            checkable: true
            checked: Panel.notifySales
            onTriggered: menu.choose(() => Panel.notifySales = !Panel.notifySales)
        }
        Entry {
            objectName: "notifyMilestonesEntry"
            visible: Panel.offersMilestoneNotifications
            text: Panel.footer.notifyMilestones
            checkable: true
            checked: Panel.notifyMilestones
            onTriggered: menu.choose(() => Panel.notifyMilestones = !Panel.notifyMilestones)
        }
        Entry {
            text: Panel.footer.checkForUpdates
            onTriggered: menu.choose(() => Panel.checkForUpdates())
        }
        Item {
            width: items.width
            height: 9
            Rectangle { y: 4; width: parent.width; height: 1; color: Panel.colors.hairline }
        }
        Entry {
            text: Panel.footer.signOut
            onTriggered: menu.choose(() => Panel.signOut())
        }
        Entry {
            text: Panel.footer.quit
            onTriggered: menu.choose(() => Qt.quit())
        }
    }

    Shortcut {
        sequence: "Escape"
        onActivated: menu.close()
    }
}
