import QtQuick

// Service text is never interpreted as markup.
Text {
    textFormat: Text.PlainText
    color: colors.ink
    font.family: sansFamily
    font.pixelSize: 13
}
