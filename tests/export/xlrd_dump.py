# Prints every non-empty cell of the first sheet as
#   row<TAB>col<TAB>n:<number> | s:<text> | b:<0|1> | d:<iso date, " hh:mm:ss" when not midnight>.
import sys
import xlrd

book = xlrd.open_workbook(sys.argv[1])
sheet = book.sheet_by_index(0)
for r in range(sheet.nrows):
    for c in range(sheet.ncols):
        cell = sheet.cell(r, c)
        v = cell.value
        if cell.ctype == xlrd.XL_CELL_DATE:
            t = xlrd.xldate_as_tuple(v, book.datemode)
            d = "%04d-%02d-%02d" % t[:3]
            if t[3:] != (0, 0, 0):
                d += " %02d:%02d:%02d" % t[3:]
            print("%d\t%d\td:%s" % (r, c, d))
        elif cell.ctype == xlrd.XL_CELL_BOOLEAN:
            print("%d\t%d\tb:%d" % (r, c, v))
        elif isinstance(v, float):
            print("%d\t%d\tn:%r" % (r, c, v))
        elif isinstance(v, str) and sheet.cell(r, c).ctype == xlrd.XL_CELL_TEXT:
            print("%d\t%d\ts:%s" % (r, c, v.replace("\n", "\\n")))
