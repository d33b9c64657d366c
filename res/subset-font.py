#!/usr/bin/env python3
"""subset-font.py <font> <translation source .ts> <output font> [<completing font>]

Keeps only the glyphs the installer can show: printable ASCII and every
character of the translation source (source texts and translations). The
name table is kept whole, so the family name does not change, and so are the
layout tables and the hinting. Run again whenever the .ts changes: a new
translation brings its own characters.

A Chinese font often lacks Latin letters; the toolkit would then look for
another font for every Latin text at run time, through the system's font
configuration. Given a completing font, the characters the first font lacks
are taken from it (scaled to the first font's units per em) and merged in, so
that every text of the installer is drawn from the one bundled font.
"""
import os
import sys
import tempfile
import xml.etree.ElementTree as ET

from fontTools import subset
from fontTools.merge import Merger
from fontTools.merge import Options as MergeOptions
from fontTools.ttLib import TTFont
from fontTools.ttLib.scaleUpem import scale_upem


def characters(ts_path):
    chars = {chr(c) for c in range(0x20, 0x7F)}
    for element in ET.parse(ts_path).getroot().iter():
        if element.tag in ("source", "translation", "numerusform", "name"):
            chars.update(element.text or "")
    # Line breaks and other controls have no glyph of their own.
    return "".join(sorted(c for c in chars if c.isprintable() or c == "\u3000"))


def subset_options():
    options = subset.Options()
    options.name_IDs = ["*"]
    options.name_languages = ["*"]
    options.name_legacy = True
    options.layout_features = ["*"]
    options.notdef_outline = True
    options.recalc_bounds = True
    # Bitmap strikes (EBDT/EBLC) are subset like the outlines, not dropped.
    options.drop_tables = [t for t in options.drop_tables if t not in ("EBDT", "EBLC", "EBSC")]
    return options


def complete(font, completing_path, text, out_path):
    """Merges into font the characters of text that it lacks, from the
    completing font; writes the result to out_path."""
    cmap = font.getBestCmap()
    lacking = "".join(c for c in text if ord(c) not in cmap)
    if not lacking:
        font.save(out_path)
        return
    extra = TTFont(completing_path, lazy=False)
    subsetter = subset.Subsetter(subset_options())
    subsetter.populate(text=lacking)
    subsetter.subset(extra)
    scale_upem(extra, font["head"].unitsPerEm)
    # The merger wants the same kinds of tables on both sides: keep outlines,
    # metrics and names; drop hinting programs, layout and vertical metrics.
    for f in (font, extra):
        for tag in ("fpgm", "prep", "cvt ", "gasp", "GSUB", "GPOS", "GDEF", "MATH", "vhea", "vmtx",
                    "EBDT", "EBLC", "EBSC", "FFTM"):
            if tag in f:
                del f[tag]
    with tempfile.TemporaryDirectory() as tmp:
        first = os.path.join(tmp, "first.ttf")
        second = os.path.join(tmp, "second.ttf")
        font.save(first)
        extra.save(second)
        merged = Merger(options=MergeOptions()).merge([first, second])
        merged.save(out_path)


def main():
    if len(sys.argv) not in (4, 5):
        sys.exit(__doc__.strip())
    font_path, ts_path, out_path = sys.argv[1:4]
    completing_path = sys.argv[4] if len(sys.argv) == 5 else ""

    options = subset_options()
    font = TTFont(font_path, lazy=False)
    subsetter = subset.Subsetter(options)
    text = characters(ts_path)
    subsetter.populate(text=text)
    subsetter.subset(font)

    # A Chinese font may well lack Latin letters (the toolkit falls back to
    # another font for those); a missing Chinese character is worth a word.
    if completing_path:
        complete(font, completing_path, text, out_path)
        font = TTFont(out_path)
    cmap = font.getBestCmap()
    missing = [c for c in text if ord(c) > 0xFF and ord(c) not in cmap]
    if missing:
        sys.stderr.write("warning: %s has no glyph for %s\n" % (font_path, " ".join(
            "U+%04X" % ord(c) for c in missing)))
    if not completing_path:
        font.save(out_path)


if __name__ == "__main__":
    main()
