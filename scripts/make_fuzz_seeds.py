#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets that take text or archives
(zip, dgh, fotoco, sdf, price, ini, expr) under the given directory: a few
well-formed inputs and a few broken ones each, all small.  The engine
targets' corpora (dbf, ntx) come from zer1_make_engine_seeds."""
import io
import os
import struct
import sys
import zipfile


def seed(root, target, name, data):
    folder = os.path.join(root, target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("cp1252")
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def zip_bytes(members, comment=b"", compression=zipfile.ZIP_DEFLATED, zip64=False):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", compression) as archive:
        for name, data in members:
            info = zipfile.ZipInfo(name, date_time=(2026, 12, 9, 18, 30, 0))
            info.compress_type = compression
            info.external_attr = 0o644 << 16
            with archive.open(info, "w", force_zip64=zip64) as member:
                member.write(data)
        archive.comment = comment
    return buffer.getvalue()


def dgh_text(lines, bom=True):
    text = "\r\n".join(lines) + "\r\n"
    return (b"\xff\xfe" if bom else b"") + text.encode("utf-16-le")


DGH_LINES = [
    "Zusatz;Text;4711;Schraube M4 verzinkt;Würth;x;4006381333931;;;;;;1,23;2,49;2,99;Befestigung",
    ";;0815;Dübel 8 mm;Fischer;;;;;;;;0,10;0,25;;Dübel",
    "a;b;c;d;e;f;;h;i;j;k;l;m;n;o;p;q;Letzte",
]


def make_zip(root):
    member = dgh_text(DGH_LINES)
    seed(root, "zip", "deflate", zip_bytes([("dgh_artikel.txt", member)]))
    seed(root, "zip", "stored_folders", zip_bytes(
        [("sub/", b""), ("sub/a.txt", b"eins\r\n"), ("b.dat", b"zwei")],
        comment=b"*.txt;sub/*", compression=zipfile.ZIP_STORED))
    seed(root, "zip", "zip64", zip_bytes([("gross.txt", b"x" * 300)], zip64=True))
    seed(root, "zip", "dotdot_name", zip_bytes([("../../etc/x.txt", b"nie"), ("a\\b.txt", b"b")],
                                               compression=zipfile.ZIP_STORED))
    good = zip_bytes([("a.txt", b"Inhalt " * 20)])
    crc_at = good.find(b"PK\x01\x02") + 16
    seed(root, "zip", "wrong_crc", good[:crc_at] + b"\0\0\0\0" + good[crc_at + 4:])
    flags_at = good.find(b"PK\x01\x02") + 8
    seed(root, "zip", "encrypted_flag", good[:flags_at] + b"\x01\x00" + good[flags_at + 2:])
    seed(root, "zip", "cut_directory", good[:-30])
    seed(root, "zip", "no_zip", b"Das ist keine ZIP-Datei.\r\n")


def make_dgh(root):
    seed(root, "dgh", "lines_with_bom", dgh_text(DGH_LINES))
    seed(root, "dgh", "lines_without_bom", dgh_text(DGH_LINES[:1], bom=False))
    seed(root, "dgh", "odd_byte_count", dgh_text(DGH_LINES[1:2])[:-1])
    seed(root, "dgh", "unpaired_surrogate", b"\xff\xfe" + "a;b;".encode("utf-16-le") +
         b"\x00\xd8" + ";c\n\r".encode("utf-16-le") + b"\x00\xdc\x41\x00")
    seed(root, "dgh", "blank_and_lf_cr", b"\xff\xfe" + " \t\n\r;;;x;\n\r\r\n\r\n".encode("utf-16-le"))


FOTOCO_LINE = ";".join(["4711", "Canon-EOS 5", "Kamera", "899,00", "", "", "Foto", "", "", "",
                        "", "", "", "", "", "", "4006381333931", "1099,00"])


def make_fotoco(root):
    seed(root, "fotoco", "articles", "Kopfzeile\r\n" + FOTOCO_LINE + "\r\n" +
         FOTOCO_LINE.replace("4006381333931", "12345678901") + "\n")
    seed(root, "fotoco", "seventeen_fields", ";".join(["f"] * 17) + "\r")
    seed(root, "fotoco", "end_of_file_mark", FOTOCO_LINE + "\x1a" + FOTOCO_LINE)
    seed(root, "fotoco", "umlauts_and_blanks", " \t" + FOTOCO_LINE.replace("Kamera", "Gerät ") +
         " \x01\r\n\r\n")


def sdf_line(firma="JEV1", artnr="4711", article="SCHRAUBE M4", lek="   12.50", prices=None):
    fields = [(firma, 4), ("KAP1", 4), (artnr, 10), ("RF001", 5), ("", 8), (article, 30),
              ("", 13), ("", 1), (lek, 8), ("", 1), ("   19,90", 8), ("", 8), ("  1,00", 7),
              ("ABC", 3), ("  -", 7)]
    prices = prices or {}
    for k in range(1, 22):
        fields.append(("G%02d" % k if k < 10 else "G%d" % k, 3))
        fields.append((prices.get(k, "%d,%02d" % (k, k)), 7 if k == 21 else 8))
    for k in range(1, 6):
        fields.append(("V%d" % k, 3))
        fields.append(("%d.5" % k, 8))
    line = "".join(value[:width].ljust(width) for value, width in fields)
    assert len(line) == 402, len(line)
    return line


def make_sdf(root):
    seed(root, "sdf", "two_lines", sdf_line() + "\r\n" + sdf_line(artnr="0815", lek="1.234,56") +
         "\r\n\x1a")
    seed(root, "sdf", "short_and_blank_lines", sdf_line()[:120] + "\n" + " " * 402 + "\n\n")
    seed(root, "sdf", "no_number", sdf_line(lek="abc") + "\n")
    seed(root, "sdf", "too_large", sdf_line(prices={1: "99999999"}) + "\n")
    seed(root, "sdf", "long_line", sdf_line() + "x" * 600 + "\n")
    seed(root, "sdf", "line_of_5000", (sdf_line() * 13)[:5000] + "\r\n" + sdf_line() + "\r\n")
    seed(root, "sdf", "control_character", sdf_line()[:50] + "\x07" + sdf_line()[51:] + "\n")


def make_price(root):
    for name, factor, text in [("plain", 1.0, "12,50"), ("english", 1.1, "1234.5"),
                               ("dashes", 0.0, "--"), ("blanks", 2.0, "  7,- "),
                               ("exponent", 1.0, "1e400"), ("thousands", 1.0, "1.234,56"),
                               ("huge_factor", 3.0e38, "99,99"), ("empty", 1.0, "")]:
        seed(root, "price", name, struct.pack("<f", factor) + text.encode("cp1252"))


def make_ini(root):
    seed(root, "ini", "remembered", "[Settings]\r\nQuellpfad=/daten/dgh/\r\nQuelldatei=dgh.zip\r\n"
         "Zielpfad=/daten/aus/\r\nFaktorFowis=11000\r\nPool=1\r\nUpdate=0\r\n")
    seed(root, "ini", "other_sections", "; Kommentar\n[Andere]\nZielpfad=nicht hier\n\n"
         "[settings]\n  zielpfad  =  \"/mit blanks/\"  \nLagerNeu=ja\n[Settings]\nPool=1\n")
    seed(root, "ini", "broken", "[Settings\nQuellpfad\n=leer\n[]\n==\n\x00\xff[Settings]x=1")
    seed(root, "ini", "empty", "")


def make_expr(root):
    for i, text in enumerate([
            "UPPER(NAME)+STR(PREIS,9,2)", "IIF(AKTIV, DTOS(DATUM), SUBSTR(NAME,2,3))",
            "PREIS*2+VAL(\"1,5\")-LEN(TRIM(NOTIZ))", "ARTIKEL->NAME = \"Apfel\" .AND. !DELETED()",
            "LTRIM(UPPER(NAME))", "RECNO()>3 .OR. EMPTY(DATUM)", "((((1))))", "STR(1/0)",
            "CTOD(\"31.12.99\")", "NAME+", "\"offen"]):
        seed(root, "expr", "expression_%02d" % i, text)
    seed(root, "expr", "deep_parentheses", "(" * 5000 + "1" + ")" * 5000)
    seed(root, "expr", "deep_functions", "UPPER(" * 3000 + "NAME" + ")" * 3000)
    seed(root, "expr", "deep_unclosed", "-(" * 4000)
    # An index condition that no record meets once divided its build progress by zero.
    seed(root, "expr", "condition_meets_no_record", 'ARTIKEL->NAME = "ApFel" .AND. !DELETED()')


def main():
    root = sys.argv[1]
    for make in (make_zip, make_dgh, make_fotoco, make_sdf, make_price, make_ini, make_expr):
        make(root)


if __name__ == "__main__":
    main()
