#!/usr/bin/env python3
"""Copies a font with its tabular figures made the default.

Qt Quick 6.4 cannot switch OpenType features on, so the `tnum` substitutions
are applied to the character map instead: every code point that maps to a
glyph the feature replaces maps to the replacement. Layout tables stay as
they are; only the figures change. The family keeps its name (the licence of
the fonts it is run on reserves none), and the version string says what
was done.

usage: freeze-tabular-figures.py SOURCE DESTINATION
"""

import sys

from fontTools.ttLib import TTFont

FEATURE = "tnum"


def single_substitutions(lookup):
    for subtable in lookup.SubTable:
        # Extension lookups (type 7) wrap the real subtable.
        if lookup.LookupType == 7:
            subtable = subtable.ExtSubTable
        mapping = getattr(subtable, "mapping", None)
        if mapping is not None:
            yield from mapping.items()


def tabular_mapping(font):
    if "GSUB" not in font:
        return {}
    table = font["GSUB"].table
    if not table.FeatureList or not table.LookupList:
        return {}
    mapping = {}
    for record in table.FeatureList.FeatureRecord:
        if record.FeatureTag != FEATURE:
            continue
        for index in record.Feature.LookupListIndex:
            mapping.update(single_substitutions(table.LookupList.Lookup[index]))
    return mapping


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    source, destination = argv[1], argv[2]
    # Keeps the modification date, so the same input always gives the same bytes.
    font = TTFont(source, recalcTimestamp=False)
    mapping = tabular_mapping(font)
    if not mapping:
        sys.stderr.write(f"{source}: no single substitutions under '{FEATURE}'\n")
        return 1
    changed = 0
    for subtable in font["cmap"].tables:
        if not subtable.isUnicode():
            continue
        for codepoint, glyph in list(subtable.cmap.items()):
            if glyph in mapping:
                subtable.cmap[codepoint] = mapping[glyph]
                changed += 1
    if not changed:
        sys.stderr.write(f"{source}: '{FEATURE}' replaces no glyph the character map reaches\n")
        return 1
    names = font["name"]
    for record in names.names:
        if record.nameID == 5:
            names.setName(f"{record.toUnicode()}; tabular figures by default", 5,
                          record.platformID, record.platEncID, record.langID)
    font.save(destination, reorderTables=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
