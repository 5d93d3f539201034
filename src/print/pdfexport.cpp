#include "print/pdfexport.h"

#include "common/progress.h"
#include "export/exportfile.h"
#include "print/reportlink.h"

#include <QIODevice>
#include <QPainter>
#include <QPdfWriter>

#include <exception>

namespace rg {
namespace {

// The PDF writer's output, streamed into the export file.
class ExportFileDevice : public QIODevice {
public:
    explicit ExportFileDevice(ExportFile& file) : file_(file) { open(QIODevice::WriteOnly); }
    bool isSequential() const override { return true; }
    // A failed write, kept until the writer is done: errors must not unwind through Qt.
    std::exception_ptr failure;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        if (failure)
            return -1;
        try {
            file_.Write(data, static_cast<size_t>(size));
        } catch (...) {
            failure = std::current_exception();
            return -1;
        }
        return size;
    }

private:
    ExportFile& file_;
};

} // namespace

void WriteReportPdf(const TdxDBGridReportLink& link, const std::string& fileName) {
    ExportFile file(fileName);
    ExportFileDevice device(file);
    // A cancel stops the pages; the writer still closes its document, which then goes with
    // the uncommitted file.
    bool cancelled = false;
    {
        QPdfWriter writer(&device);
        writer.setCreator(QStringLiteral("报表生成器"));
        const QString title = link.PrintedTitle();
        writer.setTitle(title.isEmpty() ? QString::fromStdString(fileName) : title);
        if (link.PageCount() > 0) {
            link.PrintPages(writer, link.AllPages(),
                            TdxDBGridReportLink::ReportingPages("正在导出", cancelled));
        } else {
            // A report without pages still makes a PDF that opens: one blank page.
            QPainter blank(&writer);
        }
    }
    if (cancelled)
        throw Cancelled();
    if (device.failure)
        std::rethrow_exception(device.failure);
    file.Commit();
}

} // namespace rg
