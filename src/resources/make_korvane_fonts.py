#!/usr/bin/env python3
"""Makes the program's four embedded font faces from installed free faces.

Each source face is cut down to the scripts the program shows and renamed, so that it registers
under the family and style names the style sheets ask for. The repository holds no font file.

Usage: make_korvane_fonts.py OUTPUT_DIR QRC_FILE SOURCE_REGULAR SOURCE_ITALIC SOURCE_BOLD
                             SOURCE_BOLD_ITALIC
"""

import os
import sys

from fontTools import subset
from fontTools.ttLib import TTFont

# (output file, resource alias, family, style, italic, bold)
FACES = [
    ("KorvaneFont.ttf", "KorvaneFont", "RizidiRidavaz", "Regular", False, False),
    ("KorvaneFontItalic.ttf", "KorvaneFontItalic", "RizidiRidavaz", "Italic", True, False),
    ("KorvaneFontBold.ttf", "KorvaneFontBold", "VezizoDirado", "Bold", False, True),
    ("KorvaneFontItalicBold.ttf", "KorvaneFontItalicBold", "RizidiRidavaz", "Bold Italic",
     True, True),
]

# Latin with its extensions, Greek (units such as ohm and micro), punctuation, currency, letter-
# like symbols, arrows, mathematical operators and geometric shapes.
UNICODE_RANGES = [
    (0x0020, 0x024F), (0x0370, 0x03FF), (0x2000, 0x206F), (0x20A0, 0x20CF),
    (0x2100, 0x214F), (0x2190, 0x21FF), (0x2200, 0x22FF), (0x25A0, 0x25FF),
]

# Name table entries that carry the family or style; 16 and 17 are dropped so that the plain
# family and subfamily govern.
FAMILY_IDS = (1, 16)
STYLE_IDS = (2, 17)


def cut_down(font):
    options = subset.Options()
    options.name_IDs = ["*"]
    options.name_languages = ["*"]
    options.layout_features = ["*"]
    options.notdef_outline = True
    options.glyph_names = False
    options.drop_tables += ["FFTM"]
    subsetter = subset.Subsetter(options)
    unicodes = [code for first, last in UNICODE_RANGES for code in range(first, last + 1)]
    subsetter.populate(unicodes=unicodes)
    subsetter.subset(font)


def rename(font, family, style, italic, bold):
    name_table = font["name"]
    full_name = family if style == "Regular" else f"{family} {style}"
    postscript_name = f"{family}-{style.replace(' ', '')}"
    name_table.names = [record for record in name_table.names
                        if record.nameID not in (16, 17, 21, 22)]
    for record in list(name_table.names):
        if record.nameID in FAMILY_IDS:
            record.string = family
        elif record.nameID in STYLE_IDS:
            record.string = style
        elif record.nameID == 3:
            record.string = f"{postscript_name};made for kvn31xx-eval"
        elif record.nameID == 4:
            record.string = full_name
        elif record.nameID == 6:
            record.string = postscript_name

    # The slant and weight bits must agree with the names: font matchers read either.
    os2 = font["OS/2"]
    selection = os2.fsSelection & ~(0x01 | 0x20 | 0x40 | 0x200)
    if italic:
        selection |= 0x01
    if bold:
        selection |= 0x20
    if not italic and not bold:
        selection |= 0x40
    os2.fsSelection = selection
    os2.usWeightClass = 700 if bold else 400
    head = font["head"]
    head.macStyle = (0x01 if bold else 0) | (0x02 if italic else 0)


def write_qrc(path, files):
    lines = ["<!DOCTYPE RCC><RCC version=\"1.0\">", "<qresource prefix=\"/Fonts\">"]
    for file_name, alias in files:
        lines.append(f"    <file alias=\"{alias}\">{file_name}</file>")
    lines += ["</qresource>", "</RCC>", ""]
    with open(path, "w", encoding="utf-8") as qrc:
        qrc.write("\n".join(lines))


def main(argv):
    if len(argv) != 7:
        sys.stderr.write(__doc__)
        return 2
    output_dir, qrc_path = argv[1], argv[2]
    sources = argv[3:]
    os.makedirs(output_dir, exist_ok=True)
    written = []
    for source, (file_name, alias, family, style, italic, bold) in zip(sources, FACES):
        font = TTFont(source)
        cut_down(font)
        rename(font, family, style, italic, bold)
        target = os.path.join(output_dir, file_name)
        font.save(target)
        written.append((os.path.relpath(target, os.path.dirname(qrc_path)), alias))
    write_qrc(qrc_path, written)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
