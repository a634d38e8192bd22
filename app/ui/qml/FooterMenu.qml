import QtQuick

// The More menu. A popup window of its own, so it may be taller than the
// panel it drops from.
Window {
    id: menu
    objectName: "footerMenu"
    flags: Qt.Popup | Qt.FramelessWindowHint
    width: 236
    height: items.implicitHeight + 2 * items.y
    color: colors.cardSurface

    // Read when the menu opens; the login item is the only record of it.
    property bool loginOn: false
    property bool wasActive: false

    // Top-right corner under `anchor`, or above it when the screen ends first.
    function openBelow(anchor) {
        loginOn = panel.readOpenAtLogin()
        const corner = anchor.mapToGlobal(anchor.width, anchor.height + 4)
        const top = anchor.mapToGlobal(0, -4).y - height
        x = Math.max(0, corner.x - width)
        y = corner.y + height > Screen.desktopAvailableHeight && top >= 0 ? top : corner.y
        wasActive = false
        show()
        requestActivate()
    }
    // Any item does its work after the menu is gone.
    function choose(action) {
        close()
        action()
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
        Rectangle { x: 1; y: 6; width: 5; height: 2; radius: 1; rotation: 45; color: colors.ink }
        Rectangle { x: 3; y: 4.5; width: 10; height: 2; radius: 1; rotation: -55; color: colors.ink }
    }
    component Entry: Rectangle {
        id: entry
        property alias text: label.text
        property bool checkable: false
        property bool checked: false
        property bool indented: false
        signal triggered()
        width: items.width
        height: 26
        radius: 5
        color: area.containsMouse ? colors.barTrack : "transparent"
        Accessible.role: checkable ? Accessible.CheckBox : Accessible.MenuItem
        Accessible.name: text
        Accessible.checked: checked
        Check {
            anchors.verticalCenter: parent.verticalCenter
            x: entry.indented ? 16 : 8
            visible: entry.checked
        }
        PlainText {
            id: label
            anchors.verticalCenter: parent.verticalCenter
            x: entry.indented ? 34 : 26
        }
        MouseArea {
            id: area
            anchors.fill: parent
            hoverEnabled: true
            onClicked: entry.triggered()
        }
    }

    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.color: colors.hairline
    }
    Column {
        id: items
        x: 6
        y: 6
        width: menu.width - 12

        Entry {
            text: panel.menuTitles.accountSettings
            onTriggered: menu.choose(() => panel.openSettings())
        }
        PlainText {
            x: 26
            height: 24
            verticalAlignment: Text.AlignVCenter
            text: panel.menuTitles.showInMenuBar
            color: colors.mutedText
            font.pixelSize: 12
        }
        Repeater {
            model: panel.menuBarChoices
            Column {
                required property var modelData
                width: items.width
                Entry {
                    text: modelData.title
                    indented: true
                    checkable: true
                    checked: panel.menuBarStyle === modelData.style
                    Accessible.description: modelData.note
                    onTriggered: menu.choose(() => panel.menuBarStyle = modelData.style)
                }
                PlainText {
                    x: 34
                    width: parent.width - x - 8
                    visible: modelData.note !== ""
                    text: modelData.note
                    wrapMode: Text.WordWrap
                    color: colors.mutedText
                    font.pixelSize: 11
                    bottomPadding: 4
                }
            }
        }
        Entry {
            text: panel.menuTitles.openAtLogin
            checkable: true
            checked: menu.loginOn
            onTriggered: menu.choose(() => panel.setOpenAtLogin(!menu.loginOn))
        }
        Entry {
            text: panel.menuTitles.hideAmounts
            checkable: true
            checked: panel.hideAmounts
            onTriggered: menu.choose(() => panel.hideAmounts = !panel.hideAmounts)
        }
        Entry {
            objectName: "notifySalesEntry"
            visible: panel.offersSaleNotifications
            text: panel.menuTitles.notifySales
            checkable: true
            checked: panel.notifySales
            onTriggered: menu.choose(() => panel.notifySales = !panel.notifySales)
        }
        Entry {
            text: panel.menuTitles.checkForUpdates
            onTriggered: menu.choose(() => panel.checkForUpdates())
        }
        Item {
            width: items.width
            height: 9
            Rectangle { y: 4; width: parent.width; height: 1; color: colors.hairline }
        }
        Entry {
            text: panel.menuTitles.signOut
            onTriggered: menu.choose(() => panel.signOut())
        }
        Entry {
            text: panel.menuTitles.quit
            onTriggered: menu.choose(() => Qt.quit())
        }
    }

    Shortcut {
        sequence: "Escape"
        onActivated: menu.close()
    }
}
