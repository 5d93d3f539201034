#pragma once

#include "../export/exporttest.h"
#include "print/reportlink.h"

#include <string>
#include <vector>

// A sales table of `rows` records in three regions (华北, 华东, 华南, in turn) shown by a
// real grid with the key field set; amount i is i + 0.5.
struct SalesDb : ExportDb {
    explicit SalesDb(int rows);
    void groupByRegion(bool withSums);
};

// A QGuiApplication (or the QApplication already there) for the whole test program.
void guiApp();

// Writes the report to a PDF file as the PDF command and the runner do.
void printToPdf(const rg::TdxDBGridReportLink& link, const std::string& path);
// The text of each page as pdftotext -layout reads it.
std::vector<std::string> pdfPages(const std::string& path);
// pdfinfo's "Page size" line, e.g. "612 x 792 pts (letter)".
std::string pdfPageSize(const std::string& path);
int count(const std::string& text, const std::string& what);
