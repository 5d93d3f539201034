# Prints the charts of a workbook's first sheet as openpyxl reads them, as JSON: per chart
# its kind and per series the category and value references, their caches and the values
# of the cells the references name (formulas as their stored results), the series' colour and
# those of its points (a pie's slices).
import json
import re
import sys
import openpyxl

path = sys.argv[1]
sheet = openpyxl.load_workbook(path).worksheets[0]
stored = openpyxl.load_workbook(path, data_only=True).worksheets[0]


def cells(ref):
    if not ref:
        return None
    values = []
    for part in ref.strip("()").split(","):
        m = re.fullmatch(r"(?:'?([^'!]+)'?!)?\$?([A-Z]+)\$?(\d+)", part)
        if not m or (m.group(1) and m.group(1) != stored.title):
            raise SystemExit("reference not on the sheet: " + part)
        values.append(stored[m.group(2) + m.group(3)].value)
    return values


def source(data, strings):
    ref = data.strRef if strings else data.numRef
    if ref is not None:
        cache = ref.strCache if strings else ref.numCache
        return {"ref": ref.f, "cache": [p.v for p in cache.pt], "cells": cells(ref.f)}
    lit = data.strLit if strings else data.numLit
    return {"ref": None, "cache": [p.v for p in lit.pt], "cells": None}


def rgb(fill):
    c = fill.srgbClr
    return c if isinstance(c, str) or c is None else c.val


charts = []
for chart in sheet._charts:
    series = []
    for s in chart.series:
        fill = None
        if s.spPr is not None and s.spPr.solidFill is not None:
            fill = rgb(s.spPr.solidFill)
        elif s.spPr is not None and s.spPr.ln is not None and s.spPr.ln.solidFill is not None:
            fill = rgb(s.spPr.ln.solidFill)
        points = [rgb(p.spPr.solidFill) for p in s.dPt if p.spPr is not None]
        series.append({"cat": source(s.cat, True), "val": source(s.val, False), "fill": fill,
                       "points": points})
    charts.append({"kind": chart.tagname, "series": series})
print(json.dumps(charts, ensure_ascii=False))
