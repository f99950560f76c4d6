"""Prints the first sheet of an XLSX workbook as JSON: rows of [value, type] cells.

An independent reader for the export tests (Debian's python3-openpyxl).
"""
import json
import sys

import openpyxl

workbook = openpyxl.load_workbook(sys.argv[1])
sheet = workbook.worksheets[0]
rows = [[[cell.value, cell.data_type] for cell in row] for row in sheet.iter_rows()]
json.dump({"sheets": len(workbook.worksheets), "rows": rows}, sys.stdout, ensure_ascii=False)
