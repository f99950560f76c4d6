"""Prints the first sheet of an XLSX workbook as JSON: rows of cells.

An independent reader for the export tests (Debian's python3-openpyxl). Each
cell is [value, type, stored, shown]: openpyxl's value and data type, the text
as stored in the sheet's XML, and that text as spreadsheet applications show
it, with every _xHHHH_ escape read as the character U+HHHH (openpyxl leaves
such escapes as they are).
"""
import json
import re
import sys
import zipfile
import xml.etree.ElementTree as ElementTree

import openpyxl

MAIN = "{http://schemas.openxmlformats.org/spreadsheetml/2006/main}"


def texts_of(element):
    """The text of a string item: its <t> elements joined (rich text has several)."""
    return "".join(t.text or "" for t in element.iter(MAIN + "t"))


def stored_texts(path):
    """Cell reference -> text as stored, for the string cells of the first sheet."""
    with zipfile.ZipFile(path) as archive:
        names = archive.namelist()
        shared = []
        if "xl/sharedStrings.xml" in names:
            root = ElementTree.fromstring(archive.read("xl/sharedStrings.xml"))
            shared = [texts_of(item) for item in root.iter(MAIN + "si")]
        sheet = ElementTree.fromstring(archive.read("xl/worksheets/sheet1.xml"))
    cells = {}
    for cell in sheet.iter(MAIN + "c"):
        kind = cell.get("t")
        if kind == "inlineStr":
            cells[cell.get("r")] = texts_of(cell.find(MAIN + "is"))
        elif kind == "s":
            cells[cell.get("r")] = shared[int(cell.find(MAIN + "v").text)]
    return cells


def shown(text):
    if text is None:
        return None
    return re.sub(r"_x([0-9A-Fa-f]{4})_", lambda m: chr(int(m.group(1), 16)), text)


workbook = openpyxl.load_workbook(sys.argv[1])
sheet = workbook.worksheets[0]
stored = stored_texts(sys.argv[1])
rows = [
    [
        [cell.value, cell.data_type, stored.get(cell.coordinate), shown(stored.get(cell.coordinate))]
        for cell in row
    ]
    for row in sheet.iter_rows()
]
json.dump({"sheets": len(workbook.worksheets), "rows": rows}, sys.stdout, ensure_ascii=False)
