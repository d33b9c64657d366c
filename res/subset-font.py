#!/usr/bin/env python3
"""subset-font.py <font> <translation source .ts> <output font>

Keeps only the glyphs the installer can show: printable ASCII and every
character of the translation source (source texts and translations). The
name table is kept whole, so the family name does not change, and so are the
layout tables and the hinting. Run again whenever the .ts changes: a new
translation brings its own characters.
"""
import sys
import xml.etree.ElementTree as ET

from fontTools import subset
from fontTools.ttLib import TTFont


def characters(ts_path):
    chars = {chr(c) for c in range(0x20, 0x7F)}
    for element in ET.parse(ts_path).getroot().iter():
        if element.tag in ("source", "translation", "numerusform", "name"):
            chars.update(element.text or "")
    # Line breaks and other controls have no glyph of their own.
    return "".join(sorted(c for c in chars if c.isprintable() or c == "\u3000"))


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__.strip())
    font_path, ts_path, out_path = sys.argv[1:]

    options = subset.Options()
    options.name_IDs = ["*"]
    options.name_languages = ["*"]
    options.name_legacy = True
    options.layout_features = ["*"]
    options.notdef_outline = True
    options.recalc_bounds = True
    # Bitmap strikes (EBDT/EBLC) are subset like the outlines, not dropped.
    options.drop_tables = [t for t in options.drop_tables if t not in ("EBDT", "EBLC", "EBSC")]

    font = TTFont(font_path, lazy=False)
    subsetter = subset.Subsetter(options)
    text = characters(ts_path)
    subsetter.populate(text=text)
    subsetter.subset(font)

    # A Chinese font may well lack Latin letters (the toolkit falls back to
    # another font for those); a missing Chinese character is worth a word.
    cmap = font.getBestCmap()
    missing = [c for c in text if ord(c) > 0xFF and ord(c) not in cmap]
    if missing:
        sys.stderr.write("warning: %s has no glyph for %s\n" % (font_path, " ".join(
            "U+%04X" % ord(c) for c in missing)))
    font.save(out_path)


if __name__ == "__main__":
    main()
