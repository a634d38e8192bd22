#pragma once

#include <QString>

namespace vesko {

// The families of the fonts inside the binary, as the font database names
// them. The packaged instances carry their design size in the family name
// ("DM Sans 9pt", "Bricolage Grotesque 96pt ExtraBold"), so views take the
// names from here rather than spelling them.
struct FontFamilies
{
    QString sans;    // DM Sans 400, 500, 700: body text and controls
    QString display; // Bricolage Grotesque 700, 800, tabular figures: titles and amounts
};

// Adds the fonts to the application's font database on the first call and
// returns the same names on every later one. Needs the QGuiApplication, and
// the thread it runs on. A family that did not load is empty: its text falls
// back to the default font.
const FontFamilies &registerFonts();

} // namespace vesko
