# Prints a workbook as JSON: its sheet names, then per cell of the first sheet the value and
# whether openpyxl reads it as text.
import json
import sys

import openpyxl

book = openpyxl.load_workbook(sys.argv[1])
sheet = book.worksheets[0]
rows = [[{"value": cell.value, "text": cell.data_type == "s"} for cell in row]
        for row in sheet.iter_rows()]
widths = [sheet.column_dimensions[letter].width for letter in "ABCDEF"]
print(json.dumps({"sheets": book.sheetnames, "rows": rows, "widths": widths}))
