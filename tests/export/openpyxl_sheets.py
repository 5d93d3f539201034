# Prints every sheet of a workbook as openpyxl reads it: a line "sheet<TAB>name", then one line
# per row, its cells separated by tabs (an empty cell as nothing). With "values" after the
# path a formula cell is its stored result (what the program or LibreOffice computed), else
# the formula itself.
import sys
import openpyxl

path = sys.argv[1]
values = len(sys.argv) > 2 and sys.argv[2] == "values"
book = openpyxl.load_workbook(path, data_only=values, read_only=True)
for sheet in book.worksheets:
    print("sheet\t%s" % sheet.title)
    for row in sheet.iter_rows(values_only=True):
        cells = []
        for v in row:
            if v is None:
                cells.append("")
            elif isinstance(v, float) and v == int(v) and abs(v) < 2**53:
                cells.append(str(int(v)))
            else:
                cells.append(str(v))
        print("\t".join(cells).rstrip("\t"))
