#pragma once

// The chart drawn with a plain painter, for the printed report and the PDF, which are made
// without widgets (the runner has none).

#include "chart/groupchart.h"

#include <cstddef>
#include <cstdint>

class QPainter;
class QRectF;

namespace rg {

// The colour of series (or pie slice) i as 0xRRGGBB: those of the window's chart theme, so
// that the printed chart and a workbook's chart look as the window's.
uint32_t ChartSeriesRgb(size_t i);

// The title on top, then the bars, lines or pie of `d` with the category texts, and a
// legend when there is more than one series (a pie: one slice per category).
void PaintChart(QPainter& p, const QRectF& area, const ChartData& d, ChartType type);

} // namespace rg
