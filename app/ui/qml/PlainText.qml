import QtQuick
import Vesko.Panel

// Service text is never interpreted as markup.
Text {
    textFormat: Text.PlainText
    color: Panel.colors.ink
    font.family: Panel.sansFamily
    font.pixelSize: 13
}
