#!/usr/bin/python3
"""Workbooks from an independent writer (openpyxl), and a cell dump of ours.

openpyxl 3.0 stores text as inline strings and names parts by absolute path;
spreadsheet programs (Excel, LibreOffice, WPS) use a shared-string table and
relative targets. `spreadsheet_style` rewrites an openpyxl package that way.

usage: xlsxfixture.py KIND OUT   (write fixture KIND to OUT)
       xlsxfixture.py dump XLSX  (print "row col type value" per cell)
"""
import re
import sys
import zipfile

import openpyxl
from openpyxl.chart import BarChart, Reference

SST_TYPE = "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"
SST_REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings"
INLINE = re.compile(r'<c r="([A-Z]+[0-9]+)"([^>]*?) t="inlineStr"><is><t[^>]*>(.*?)</t></is></c>', re.S)


def spreadsheet_style(path):
    with zipfile.ZipFile(path) as z:
        parts = {n: z.read(n) for n in z.namelist()}
    strings = []

    def shared(m):
        strings.append(m.group(3))
        return '<c r="%s"%s t="s"><v>%d</v></c>' % (m.group(1), m.group(2), len(strings) - 1)

    for name in list(parts):
        if name.startswith("xl/worksheets/"):
            parts[name] = INLINE.sub(shared, parts[name].decode()).encode()
    rels = parts["xl/_rels/workbook.xml.rels"].decode().replace('Target="/xl/', 'Target="')
    rels = rels.replace("</Relationships>",
                        '<Relationship Id="rIdSst" Type="%s" Target="sharedStrings.xml"/></Relationships>' % SST_REL)
    parts["xl/_rels/workbook.xml.rels"] = rels.encode()
    types = parts["[Content_Types].xml"].decode().replace(
        "</Types>", '<Override PartName="/xl/sharedStrings.xml" ContentType="%s"/></Types>' % SST_TYPE)
    parts["[Content_Types].xml"] = types.encode()
    sst = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n' \
          '<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="%d" uniqueCount="%d">%s</sst>' \
          % (len(strings), len(strings), "".join("<si><t>%s</t></si>" % s for s in strings))
    parts["xl/sharedStrings.xml"] = sst.encode()
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in parts.items():
            z.writestr(name, data)


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
            ["AnalysisOperationCount", 3], ["PeakSynthesisAnalysis", 100, 150.5], ["Unknown", 1, 2],
            ["NumericalLabel", 80, 80]]
    for r, values in enumerate(rows, start=1):
        for c, v in enumerate(values, start=1):
            ws.cell(row=r, column=c, value=v)


def write(kind, out):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Sheet1"
    if kind in ("spreadsheet", "openpyxl", "no-worksheet"):
        experiment(ws)
    elif kind == "chart-active":
        experiment(ws)
        chart = wb.create_chartsheet("Chart")
        bar = BarChart()
        bar.add_data(Reference(ws, min_col=2, min_row=16, max_row=18))
        chart.add_chart(bar)
        wb.active = 1
    elif kind == "far-corner":
        experiment(ws)
        ws["XFD1048576"] = 1
    elif kind == "huge-counts":
        experiment(ws)
        ws["B8"] = 2000000000
        ws["B15"] = 2000000000
    elif kind in ("non-finite", "char-ref"):
        experiment(ws)
    elif kind == "text-numbers":
        experiment(ws)
        for cell in ("B8", "B11", "B12", "B15", "C16"):
            ws[cell] = "abc"
    else:
        raise SystemExit("unknown fixture " + kind)
    wb.save(out)
    if kind != "openpyxl":
        spreadsheet_style(out)
    if kind == "no-worksheet":
        drop_worksheets(out)
    if kind == "non-finite":
        # openpyxl leaves NaN out; other writers put these texts in number cells.
        set_values(out, {"B11": "NaN", "B16": "nan", "C17": "INF"})
    if kind == "char-ref":
        # One past the last code point, in the sample name.
        replace_in_part(out, "xl/sharedStrings.xml", "PE-1", "PE-&#1114112;")


def rewrite_part(path, part, change):
    with zipfile.ZipFile(path) as z:
        parts = {n: z.read(n) for n in z.namelist()}
    parts[part] = change(parts[part].decode()).encode()
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in parts.items():
            z.writestr(name, data)


def set_values(path, values):
    def change(sheet):
        for ref, text in values.items():
            sheet = re.sub(r'(<c r="%s"[^>]*>)<v>[^<]*</v>' % ref, lambda m: m.group(1) + "<v>%s</v>" % text, sheet)
        return sheet
    rewrite_part(path, "xl/worksheets/sheet1.xml", change)


def replace_in_part(path, part, old, new):
    rewrite_part(path, part, lambda text: text.replace(old, new, 1))


def drop_worksheets(path):
    with zipfile.ZipFile(path) as z:
        parts = {n: z.read(n) for n in z.namelist() if not n.startswith("xl/worksheets/")}
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in parts.items():
            z.writestr(name, data)


def dump(path):
    ws = openpyxl.load_workbook(path).active
    print("title", ws.title)
    for row in ws.iter_rows():
        for cell in row:
            if cell.value is not None:
                kind = "s" if isinstance(cell.value, str) else "n"
                print(cell.row, cell.column, kind, repr(cell.value) if kind == "n" else cell.value)


if __name__ == "__main__":
    if sys.argv[1] == "dump":
        dump(sys.argv[2])
    else:
        write(sys.argv[1], sys.argv[2])
