// The figure in a Plasma panel: the snout and the text Vesko's own tray
// item would show, read from the running Vesko every few seconds (it answers
// from memory, so this costs the service nothing). A click opens Vesko's panel.
import QtQuick 2.15
import QtQuick.Layouts 1.15
import org.kde.kirigami 2.20 as Kirigami
import org.kde.plasma.components 3.0 as PlasmaComponents3
import org.kde.plasma.core 2.0 as PlasmaCore
import org.kde.plasma.plasmoid 2.0

import "Binary.js" as Binary

Item {
    id: root

    // What `vesko status --format json --running` said last.
    property string trayLabel: ""
    property bool snout: true
    property string tooltip: "Vesko"
    property string phase: ""
    property bool running: false

    function quoted(word) {
        return "'" + word.replace(/'/g, "'\\''") + "'";
    }
    readonly property string vesko: quoted(Binary.path)

    function read(exitCode, stdout) {
        var line = null;
        try {
            line = JSON.parse(stdout);
        } catch (e) {
        }
        // 5: no Vesko runs; anything else unknown (127: not installed) reads the same.
        root.running = [0, 1, 3, 4].indexOf(exitCode) >= 0;
        if (line) {
            root.trayLabel = line.menubar || "";
            root.snout = line.snout !== false;
            root.tooltip = line.tooltip || "Vesko";
            root.phase = line["class"] || "";
        } else {
            // Signed out, failed or not running print no line: the snout alone.
            root.trayLabel = "";
            root.snout = true;
            root.phase = "";
            root.tooltip = exitCode === 3 ? "Vesko\nNot signed in. Click to sign in."
                         : exitCode === 4 ? "Vesko\nVesko cannot be reached. Check your connection."
                         : !root.running ? "Vesko\nVesko is not running. Click to start it."
                         : "Vesko";
        }
    }

    Plasmoid.preferredRepresentation: Plasmoid.compactRepresentation
    Plasmoid.icon: "app.vesko.Vesko"
    Plasmoid.title: "Vesko"
    Plasmoid.toolTipMainText: root.tooltip.split("\n")[0]
    Plasmoid.toolTipSubText: root.tooltip.split("\n").slice(1).join("\n")
    Plasmoid.status: PlasmaCore.Types.ActiveStatus

    PlasmaCore.DataSource {
        id: status
        engine: "executable"
        connectedSources: []
        onNewData: {
            disconnectSource(sourceName);
            if (sourceName === root.statusCommand)
                root.read(data["exit code"], data["stdout"]);
        }
    }
    readonly property string statusCommand: root.vesko + " status --format json --running"

    Timer {
        interval: 5000
        running: true
        repeat: true
        triggeredOnStart: true
        // One run at a time: a slow answer is not piled onto.
        onTriggered: {
            if (status.connectedSources.indexOf(root.statusCommand) < 0)
                status.connectSource(root.statusCommand);
        }
    }

    PlasmaCore.DataSource {
        id: launcher
        engine: "executable"
        connectedSources: []
        onNewData: disconnectSource(sourceName)
    }

    Plasmoid.compactRepresentation: MouseArea {
        id: compact

        readonly property bool vertical: Plasmoid.formFactor === PlasmaCore.Types.Vertical
        Layout.minimumWidth: vertical ? -1 : row.implicitWidth
        Layout.preferredWidth: Layout.minimumWidth
        Layout.minimumHeight: vertical ? row.implicitHeight : -1
        hoverEnabled: true
        acceptedButtons: Qt.LeftButton

        // A running Vesko opens its panel; otherwise this starts it, in the
        // background so the panel does not wait on it.
        onClicked: launcher.connectSource("(" + root.vesko + " >/dev/null 2>&1 &)")

        RowLayout {
            id: row
            anchors.centerIn: parent
            height: parent.height
            spacing: PlasmaCore.Units.smallSpacing

            Kirigami.Icon {
                visible: root.snout
                Layout.preferredHeight: Math.min(compact.height, PlasmaCore.Units.iconSizes.medium) * 0.8
                Layout.preferredWidth: Layout.preferredHeight
                source: "app.vesko.Vesko-symbolic"
                fallback: "app.vesko.Vesko"
                // Drawn in the panel's text colour, dark panel or light.
                isMask: true
                color: PlasmaCore.Theme.textColor
                opacity: root.running && root.phase !== "failed" ? 1 : 0.6
            }
            PlasmaComponents3.Label {
                visible: text !== ""
                text: root.trayLabel
                textFormat: Text.PlainText
            }
        }
    }
}
