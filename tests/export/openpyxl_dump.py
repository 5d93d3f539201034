# Prints the first sheet of a workbook as openpyxl reads it, one fact a line:
#   cell<TAB>row<TAB>col<TAB>n:<number> | s:<text> | b:<bool> | d:<iso date> | f:<formula>=<stored result>
#   level<TAB>row<TAB>outline level (rows above 0 only), width<TAB>col<TAB>width,
#   format<TAB>row<TAB>col<TAB>number format (cells not in General),
#   freeze<TAB>cell, filter<TAB>range, summary_below<TAB>0|1, rows<TAB>rows holding a value or a
#   style. Rows and columns are 0-based.
import datetime
import sys
import openpyxl

path = sys.argv[1]
sheet = openpyxl.load_workbook(path).worksheets[0]
stored = openpyxl.load_workbook(path, data_only=True).worksheets[0]
for row in sheet.iter_rows():
    for c in row:
        v = c.value
        if v is None:
            continue
        r, k = c.row - 1, c.column - 1
        if isinstance(v, bool):
            out = "b:%d" % v
        elif isinstance(v, (int, float)):
            out = "n:%r" % float(v)
        elif isinstance(v, (datetime.datetime, datetime.date, datetime.time)):
            out = "d:" + v.isoformat()
        elif c.data_type == "f":
            out = "f:%s=%r" % (v, stored.cell(c.row, c.column).value)
        else:
            out = "s:" + v.replace("\n", "\\n")
        print("cell\t%d\t%d\t%s" % (r, k, out))
        if c.number_format != "General":
            print("format\t%d\t%d\t%s" % (r, k, c.number_format))
for i, d in sheet.row_dimensions.items():
    if d.outline_level:
        print("level\t%d\t%d" % (i - 1, d.outline_level))
for key, d in sheet.column_dimensions.items():
    if d.width:
        print("width\t%d\t%r" % (openpyxl.utils.column_index_from_string(key) - 1, d.width))
print("freeze\t%s" % sheet.freeze_panes)
print("filter\t%s" % sheet.auto_filter.ref)
outline = sheet.sheet_properties.outlinePr
print("summary_below\t%d" % (1 if outline is None or outline.summaryBelow is None else outline.summaryBelow))
print("rows\t%d" % sheet.max_row)
