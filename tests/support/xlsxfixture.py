#!/usr/bin/python3
"""Workbooks from independent writers (openpyxl, or zip parts written here by
hand), damaged packages, and raw dumps of ours.

openpyxl 3.0 stores text as inline strings and names parts by absolute path;
spreadsheet programs (Excel, LibreOffice, WPS) use a shared-string table,
relative targets and, at times, rich-text runs, phonetic runs, cached formula
texts, booleans and cells or rows without a reference.

usage: xlsxfixture.py KIND OUT            write fixture KIND to OUT
       xlsxfixture.py copy OURS OUT       OURS cell by cell through openpyxl
       xlsxfixture.py program OURS OUT    the copy as a spreadsheet program stores it
       xlsxfixture.py ampersand OURS OUT  the copy with its sheet part named "R&D.xml"
       xlsxfixture.py numbers TEXTS OUT   one number cell per line of TEXTS, as written
       xlsxfixture.py dump XLSX           "row col type value" per cell (openpyxl)
       xlsxfixture.py values XLSX         "ref text" per number cell, text as stored
       xlsxfixture.py float-cases         "bits text value" per float the writer is given:
                                          its bits, the text it is to store, what that reads as
"""
import decimal
import html
import math
import random
import re
import struct
import sys
import zipfile
from xml.sax.saxutils import escape

import openpyxl
from openpyxl.chart import BarChart, Reference

MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
SST_TYPE = "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"
SHEET = "xl/worksheets/sheet1.xml"


def experiment(ws):
    """A run as a person would type it: plain decimals, integers as integers."""
    rows = [["文件数据信息"], ["样品名称：", "PE-1"], ["样品质量：", "5.2", "mg"], ["坩埚质量：", 0, "mg"],
            ["实验人员：", "李工"], ["实验日期：", "2025-03-04 10:20"], ["测量类型：", "样品"], ["阶段数量：", 2],
            ["#", "Time/min", "Temp/℃", "Voltage/mW", "Time/min"], ["阶段索引：", 1], ["截止温度：", 200.5, "℃"],
            ["升温速率：", 10, "℃/min"], ["恒温时间：", 5, "min"], ["气氛：", "N2"], ["数据个数：", 3],
            [0, 0.1, 30.25, -1.5, 0], [1, 0.2, 31.5, -1.25, 0], [2, 0.3, 32.75, "-1", 0.5],
            ["#", "Time/min", "Temp/℃", "Voltage/mW", "Time/min"], ["阶段索引：", 3], ["截止温度：", 25, "℃"],
            ["升温速率：", 0.1, "℃/min"], ["恒温时间：", 70000, "min"], ["气氛：", 7], ["数据个数：", 1],
            [0, 12.5, 199.125, 2.5, 3],
            ["AnalysisOperationCount", 3], ["PeakSynthesisAnalysis", 30.25, 32.75], ["Unknown", 1, 2],
            ["NumericalLabel", 199.125, 199.125, None, 2]]
    for r, values in enumerate(rows, start=1):
        for c, v in enumerate(values, start=1):
            ws.cell(row=r, column=c, value=v)


def read_parts(path):
    with zipfile.ZipFile(path) as z:
        return {n: z.read(n) for n in z.namelist()}


def write_parts(path, parts, compression=zipfile.ZIP_DEFLATED):
    with zipfile.ZipFile(path, "w", compression) as z:
        for name, data in parts.items():
            z.writestr(name, data)


def rewrite_part(path, part, change):
    parts = read_parts(path)
    parts[part] = change(parts[part].decode()).encode()
    write_parts(path, parts)


def minimal(path, sheet_data, workbook=None, compression=zipfile.ZIP_DEFLATED):
    """A one-sheet package written by hand around the given <sheetData> body."""
    parts = {
        "[Content_Types].xml": '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>',
        "_rels/.rels": '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                       '<Relationship Id="rId1" Type="%s/officeDocument" Target="xl/workbook.xml"/>'
                       '</Relationships>' % REL,
        "xl/workbook.xml": workbook or '<workbook xmlns="%s" xmlns:r="%s"><sheets>'
                                       '<sheet name="Sheet1" sheetId="1" r:id="rId1"/></sheets></workbook>' % (MAIN, REL),
        "xl/_rels/workbook.xml.rels": '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                                      '<Relationship Id="rId1" Type="%s/worksheet" Target="worksheets/sheet1.xml"/>'
                                      '</Relationships>' % REL,
        SHEET: '<worksheet xmlns="%s"><sheetData>%s</sheetData></worksheet>' % (MAIN, sheet_data),
    }
    write_parts(path, parts, compression)


def streamed_sheet(path, head, block, count, tail):
    """A package whose sheet is head + count * block + tail, inflated a block at a time."""
    minimal(path, "")
    parts = read_parts(path)
    del parts[SHEET]
    write_parts(path, parts)
    with zipfile.ZipFile(path, "a", zipfile.ZIP_DEFLATED) as z:
        with z.open(SHEET, "w") as f:
            f.write(head)
            for _ in range(count):
                f.write(block)
            f.write(tail)


def entry_offsets(path, name):
    """Offsets of an entry's local header and central directory record."""
    with zipfile.ZipFile(path) as z:
        local = z.getinfo(name).header_offset
    data = open(path, "rb").read()
    central = data.index(b"PK\x01\x02")
    while data[central + 46:central + 46 + struct.unpack_from("<H", data, central + 28)[0]] != name.encode():
        central = data.index(b"PK\x01\x02", central + 4)
    return data, local, central


def forge_sizes(path, name, size):
    """Claims size for the entry's uncompressed size, in both headers."""
    data, local, central = entry_offsets(path, name)
    data = bytearray(data)
    struct.pack_into("<I", data, local + 22, size)
    struct.pack_into("<I", data, central + 24, size)
    open(path, "wb").write(bytes(data))


def write(kind, out):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Sheet1"
    experiment(ws)
    if kind == "chart-active":
        chart = wb.create_chartsheet("Chart")
        bar = BarChart()
        bar.add_data(Reference(ws, min_col=2, min_row=16, max_row=18))
        chart.add_chart(bar)
        wb.active = 1
    elif kind == "far-corner":
        ws["XFD1048576"] = 1
    elif kind == "huge-counts":
        ws["B8"] = 2000000000
        ws["B15"] = 2000000000
    elif kind == "many-analyses":
        # One row far down makes 10,001 analysis rows to read after the count.
        ws["B27"] = 10001
        ws["A10028"] = "NumericalLabel"
    elif kind == "text-numbers":
        for cell in ("B8", "B11", "B12", "B15", "C16"):
            ws[cell] = "abc"
    elif kind not in ("spreadsheet", "no-worksheet", "non-finite", "char-ref", "crc", "size-smaller",
                      "size-larger", "beyond-row", "beyond-column", "no-root-workbook", "no-root-rels",
                      "amp-attribute", "dtd", "no-active-sheet"):
        return write_by_hand(kind, out)
    wb.save(out)
    damage(kind, out)


def damage(kind, out):
    if kind == "no-worksheet":
        parts = read_parts(out)
        write_parts(out, {n: d for n, d in parts.items() if not n.startswith("xl/worksheets/")})
    elif kind == "non-finite":
        # openpyxl leaves NaN out; other writers put these texts in number
        # cells. 1e39 and -1e400 lie beyond the float (and double) range.
        set_values(out, {"B11": "NaN", "B16": "nan", "C17": "INF", "D17": "1e39", "E17": "-1e400"})
    elif kind == "char-ref":
        # One past the last code point, in the sample name.
        rewrite_part(out, SHEET, lambda text: text.replace("PE-1", "PE-&#1114112;", 1))
    elif kind in ("crc", "size-smaller"):
        write_parts(out, read_parts(out), zipfile.ZIP_STORED)
        data, local, central = entry_offsets(out, SHEET)
        if kind == "crc":
            # 200.5 becomes 900.5 inside the stored sheet: still well-formed.
            at = data.index(b"<v>200.5</v>", local)
            open(out, "wb").write(data[:at + 3] + b"9" + data[at + 4:])
        else:
            forge_sizes(out, SHEET, struct.unpack_from("<I", data, central + 24)[0] - 100)
    elif kind == "size-larger":
        forge_sizes(out, SHEET, 0xFFFFFFF0)
    elif kind == "beyond-row":
        rewrite_part(out, SHEET, lambda text: text.replace('r="A1"', 'r="A1048577"', 1))
    elif kind == "beyond-column":
        rewrite_part(out, SHEET, lambda text: text.replace('r="A1"', 'r="XFE1"', 1))
    elif kind == "no-active-sheet":
        rewrite_part(out, "xl/workbook.xml", lambda text: text.replace('activeTab="0"', 'activeTab="5"', 1))
    elif kind == "no-root-workbook":
        rewrite_part(out, "xl/workbook.xml", lambda text: '<?xml version="1.0"?>\n')
    elif kind == "no-root-rels":
        rewrite_part(out, "xl/_rels/workbook.xml.rels", lambda text: '<?xml version="1.0"?><!-- none -->')
    elif kind == "amp-attribute":
        # The part ends inside a quoted attribute holding "&".
        rewrite_part(out, SHEET, lambda text: text[:text.index("<c ")] + '<c r="A1" t="&amp;')
    elif kind == "dtd":
        lol = "".join('<!ENTITY lol%d "%s">' % (i, "&lol%d;" % (i - 1) * 10) for i in range(1, 10))
        rewrite_part(out, SHEET, lambda text: '<?xml version="1.0"?><!DOCTYPE worksheet [<!ENTITY lol0 "lol">%s]>'
                     % lol + text[text.index("<worksheet"):].replace("PE-1", "&lol9;", 1))


def write_by_hand(kind, out):
    if kind == "bomb-cells":
        # Ten million cells, more than a load keeps, in 300 KB.
        row = b"<row>" + b"<c><v>1</v></c>" * 16384 + b"</row>"
        streamed_sheet(out, b'<worksheet xmlns="%s"><sheetData>' % MAIN.encode(), row, 600,
                       b"</sheetData></worksheet>")
    elif kind == "password":
        # Excel encrypts a workbook with a password into an OLE compound
        # file; its header is all a reader looks at before refusing it.
        open(out, "wb").write(bytes.fromhex("D0CF11E0A1B11AE1") + bytes(504))
    elif kind == "bomb-blanks":
        # About 1 MB zipped, 1 GB of blanks inflated.
        streamed_sheet(out, b'<worksheet xmlns="%s"><sheetData>' % MAIN.encode(), b" " * (1 << 20), 1024,
                       b"</sheetData></worksheet>")
    else:
        raise SystemExit("unknown fixture " + kind)


def set_values(path, values):
    def change(sheet):
        for ref, text in values.items():
            sheet = re.sub(r'(<c r="%s"[^>]*>)<v>[^<]*</v>' % ref, lambda m: m.group(1) + "<v>%s</v>" % text, sheet)
        return sheet
    rewrite_part(path, SHEET, change)


def copy(ours, out):
    source = openpyxl.load_workbook(ours).active
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Sheet1"
    for row in source.iter_rows():
        for cell in row:
            if cell.value is not None:
                ws.cell(row=cell.row, column=cell.column, value=cell.value)
    wb.save(out)


INLINE = re.compile(r'<c r="([A-Z]+[0-9]+)"([^>]*?) t="inlineStr"><is><t[^>]*>(.*?)</t></is></c>', re.S)


def program(ours, out):
    """The openpyxl copy of ours stored the way spreadsheet programs do."""
    copy(ours, out)
    parts = read_parts(out)
    sheet = parts[SHEET].decode()
    strings = []

    def shared(m):
        strings.append(m.group(3))
        return '<c r="%s"%s t="s"><v>%d</v></c>' % (m.group(1), m.group(2), len(strings) - 1)

    sheet = INLINE.sub(shared, sheet)
    # The sample name as a formula's cached text, the first point's hold time (0) as a boolean.
    sheet, named = re.subn(r'<c r="B2"[^>]*><v>(\d+)</v></c>',
                           lambda m: '<c r="B2" t="str"><f>TRIM("%s")</f><v>%s</v></c>'
                           % (strings[int(m.group(1))], strings[int(m.group(1))]), sheet)
    sheet, flags = re.subn(r'<c r="E16" t="n"><v>0</v></c>', '<c r="E16" t="b"><v>0</v></c>', sheet)
    if (named, flags) != (1, 1):
        raise SystemExit("program: B2 or E16 not as expected")

    # Data rows (from 16 on) with neither row nor cell references; a row with
    # a gap keeps them, as its later cells would move left without.
    def unreferenced(m):
        columns = "".join(re.findall(r'<c r="([A-Z]+)[0-9]+"', m.group(2)))
        if int(m.group(1)) < 16 or columns != "ABCDE"[:len(columns)]:
            return m.group(0)
        return "<row>" + re.sub(r'<c r="[A-Z]+[0-9]+"', "<c", m.group(2)) + "</row>"

    sheet = re.sub(r'<row r="(\d+)"[^>]*>(.*?)</row>', unreferenced, sheet)
    parts[SHEET] = sheet.encode()

    # Each string as two rich-text runs and a phonetic run, which is left out.
    def item(stored):
        text = html.unescape(stored)
        half = len(text) // 2
        return ('<si><r><t>%s</t></r><r><rPr><b/></rPr><t xml:space="preserve">%s</t></r>'
                '<rPh sb="0" eb="1"><t>ヨミ</t></rPh></si>' % (escape(text[:half]), escape(text[half:])))

    parts["xl/sharedStrings.xml"] = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<sst xmlns="%s">%s</sst>'
                                     % (MAIN, "".join(item(s) for s in strings))).encode()
    rels = parts["xl/_rels/workbook.xml.rels"].decode().replace('Target="/xl/', 'Target="')
    parts["xl/_rels/workbook.xml.rels"] = rels.replace(
        "</Relationships>", '<Relationship Id="rIdSst" Type="%s/sharedStrings" Target="./sharedStrings.xml"/>'
        "</Relationships>" % REL).encode()
    parts["[Content_Types].xml"] = parts["[Content_Types].xml"].decode().replace(
        "</Types>", '<Override PartName="/xl/sharedStrings.xml" ContentType="%s"/></Types>' % SST_TYPE).encode()
    write_parts(out, parts)


def ampersand(ours, out):
    """The openpyxl copy of ours with its sheet in a part whose name holds "&"."""
    copy(ours, out)
    parts = read_parts(out)
    parts["xl/worksheets/R&D.xml"] = parts.pop(SHEET)
    for name in ("xl/_rels/workbook.xml.rels", "[Content_Types].xml"):
        parts[name] = parts[name].decode().replace("sheet1.xml", "R&amp;D.xml").encode()
    write_parts(out, parts)


def numbers(texts, out):
    cells = "".join('<row r="%d"><c r="A%d"><v>%s</v></c></row>' % (i, i, t)
                    for i, t in enumerate(open(texts).read().split(), start=1))
    minimal(out, cells)


def dump(path):
    ws = openpyxl.load_workbook(path).active
    print("title", ws.title)
    for row in ws.iter_rows():
        for cell in row:
            if cell.value is not None:
                kind = "s" if isinstance(cell.value, str) else "n"
                print(cell.row, cell.column, kind, repr(cell.value) if kind == "n" else cell.value)


def values(path):
    sheet = read_parts(path)[SHEET].decode()
    for ref, attributes, text in re.findall(r'<c r="([A-Z]+[0-9]+)"([^>]*)><v>([^<]*)</v></c>', sheet):
        if ' t="' not in attributes:
            print(ref, text)


def float32(x):
    try:
        return struct.unpack("<f", struct.pack("<f", x))[0]
    except OverflowError:  # rounds past the largest float
        return math.copysign(math.inf, x)


def significant(text):
    digits = re.split("[eE]", text)[0].replace("-", "").replace(".", "")
    return len(digits.strip("0"))


def shortest32(f):
    """The shortest decimal reading back as the float f: the nearer of two, on
    a tie the one ending in an even digit."""
    exact = decimal.Decimal(f)
    for digits in range(1, 10):
        unit = decimal.Decimal(1).scaleb(exact.adjusted() - digits + 1)
        down = (exact / unit).to_integral_value(decimal.ROUND_FLOOR) * unit
        for candidate in sorted((down, down + unit), key=lambda c: (abs(c - exact), int(c / unit) % 2)):
            if float32(float(candidate)) == f:
                return candidate


def stored(f):
    """The 16-digit print ("%.16G", as libxlsxwriter prints) reading back as the
    double nearest f's shortest decimal, the shortest of those of that double
    and its two neighbours; f's own double's print when none does."""
    nearest = float(shortest32(f))
    if float32(nearest) == f:
        prints = ["%.16G" % c for c in (nearest, math.nextafter(nearest, math.inf),
                                        math.nextafter(nearest, -math.inf))]
        good = [p for p in prints if float(p) == nearest]
        if good:
            return min(good, key=significant)
    return "%.16G" % f


def float_cases():
    decimal.getcontext().prec = 200
    rng = random.Random(20250101)
    floats = [float32(0.6666667), float32(8.890405e-25), float32(0.1), float32(25.012)]
    # Temperatures as a run records them: three decimals between 20 and 450.
    floats += [float32(rng.randrange(20000, 450001) / 1000) for _ in range(20000)]
    while len(floats) < 40000:
        f = struct.unpack("<f", struct.pack("<I", rng.getrandbits(32)))[0]
        if math.isfinite(f):
            floats.append(f)
    for f in floats:
        text = stored(f)
        print(struct.pack(">f", f).hex(), text, repr(float(text)))


if __name__ == "__main__":
    command = sys.argv[1]
    if command == "dump":
        dump(sys.argv[2])
    elif command == "values":
        values(sys.argv[2])
    elif command == "float-cases":
        float_cases()
    elif command in ("copy", "program", "ampersand", "numbers"):
        {"copy": copy, "program": program, "ampersand": ampersand, "numbers": numbers}[command](sys.argv[2],
                                                                                               sys.argv[3])
    else:
        write(command, sys.argv[2])
