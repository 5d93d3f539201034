# Prints every non-empty cell of the first sheet as "row<TAB>col<TAB>n:<number>|s:<text>".
import sys
import xlrd

book = xlrd.open_workbook(sys.argv[1])
sheet = book.sheet_by_index(0)
for r in range(sheet.nrows):
    for c in range(sheet.ncols):
        v = sheet.cell(r, c).value
        if isinstance(v, float):
            print("%d\t%d\tn:%r" % (r, c, v))
        elif isinstance(v, str) and sheet.cell(r, c).ctype == xlrd.XL_CELL_TEXT:
            print("%d\t%d\ts:%s" % (r, c, v.replace("\n", "\\n")))
