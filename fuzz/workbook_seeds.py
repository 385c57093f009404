#!/usr/bin/python3
"""Seeds for the workbook fuzz target: small workbooks from openpyxl (inline
strings, absolute part names) and as spreadsheet programs store them (shared
strings, rich and phonetic runs, rows and cells without references), each
deflated and stored; stored parts let mutations reach the XML parser.

usage: workbook_seeds.py OURS.xlsx CORPUS   (OURS: any small workbook of ours)
"""
import os
import subprocess
import sys
import zipfile

fixture = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support", "xlsxfixture.py")
ours, corpus = sys.argv[1], sys.argv[2]
seeds = {"spreadsheet": ["spreadsheet"], "copy": ["copy", ours], "program": ["program", ours],
         "chart-active": ["chart-active"], "non-finite": ["non-finite"],
         "many-analyses": ["many-analyses"]}
for name, args in seeds.items():
    out = os.path.join(corpus, name + ".xlsx")
    subprocess.run([sys.executable, fixture] + args + [out], check=True)
    with zipfile.ZipFile(out) as z:
        parts = {n: z.read(n) for n in z.namelist() if not n.startswith("docProps/") and "theme" not in n}
    with zipfile.ZipFile(os.path.join(corpus, name + "-stored.xlsx"), "w", zipfile.ZIP_STORED) as z:
        for part, data in parts.items():
            z.writestr(part, data)
