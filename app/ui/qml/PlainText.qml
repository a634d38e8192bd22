import QtQuick
import Vesko.Panel

// Service text is never interpreted as markup. Read by screen readers as it
// stands, unless a row or control around it reads for it.
Text {
    textFormat: Text.PlainText
    Accessible.role: Accessible.StaticText
    Accessible.name: text
    color: Panel.colors.ink
    font.family: Panel.sansFamily
    font.pixelSize: 13
}
