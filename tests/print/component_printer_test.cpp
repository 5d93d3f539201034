#include "printfixture.h"

#include "common/error.h"
#include "common/progress.h"
#include "print/componentprinter.h"
#include "testsupport.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace rg;

namespace {

// Windows that record what the engine asks of them and answer as told.
struct FakeWindows : TdxPrintWindows {
    std::vector<std::string> calls;
    bool previewOpen = false;
    PrintDialogResult printAnswer = PrintDialogResult::Print;
    PageSetupResult setupAnswer = PageSetupResult::OK;
    DesignerResult designerAnswer;
    std::function<void(TdxDBGridReportLink&)> design; // what the user does in the designer
    int pagesShown = -1;

    bool RaisePreview() override {
        if (previewOpen)
            calls.push_back("raise");
        return previewOpen;
    }
    void ShowPreview(TdxComponentPrinter& engine, TdxDBGridReportLink& link, bool modal) override {
        calls.push_back("preview");
        pagesShown = link.PageCount();
        if (modal)
            engine.PreviewClosed(link);
    }
    PrintDialogResult ShowPrintDialog(TdxComponentPrinter&, TdxDBGridReportLink& link,
                                      TdxPrintDlgData*) override {
        calls.push_back("printDialog");
        pagesShown = link.PageCount();
        return printAnswer;
    }
    void PrintReport(TdxDBGridReportLink& link) override {
        calls.push_back("print");
        pagesShown = link.PageCount();
    }
    PageSetupResult ShowPageSetup(TdxDBGridReportLink&) override {
        calls.push_back("pageSetup");
        return setupAnswer;
    }
    DesignerResult ShowDesigner(TdxComponentPrinter&, TdxDBGridReportLink& link) override {
        calls.push_back("designer");
        if (design)
            design(link);
        return designerAnswer;
    }
};

using Calls = std::vector<std::string>;

} // namespace

TEST(ComponentPrinter, PreviewAndPrintRebuildFromTheGridAndKeepItsPlace) {
    guiApp();
    SalesDb db(70000); // enough rows for the build to report progress
    TdxComponentPrinter engine;
    FakeWindows windows;
    engine.SetWindows(&windows);
    TdxDBGridReportLink& link = engine.AddLink(&db.grid, "dxComponentPrinter1Link1");
    int topRow = 7, topRestored = -1;
    engine.GetTopRow = [&] { return topRow; };
    engine.SetTopRow = [&](int row) { topRestored = row; };
    std::vector<std::string> events;
    engine.OnBeforePreview = [&](TdxDBGridReportLink&) { events.push_back("before"); };
    engine.OnAfterPreview = [&](TdxDBGridReportLink&) { events.push_back("after"); };
    // While the report is built the controls are off and the hourglass is up; whatever
    // moves the data set meanwhile, its record comes back.
    bool disabledDuringBuild = false, hourglass = false;
    engine.OnGenerateReportProgress = [&](TdxDBGridReportLink&, int64_t done, int64_t total) {
        disabledDuringBuild = db.ds.ControlsDisabled();
        hourglass = QGuiApplication::overrideCursor() != nullptr;
        db.ds.SetRecNo(0);
        return done <= total;
    };
    db.ds.SetRecNo(1234);

    EXPECT_TRUE(engine.Preview(true, nullptr));
    EXPECT_EQ(windows.calls, (Calls{"preview"}));
    EXPECT_EQ(events, (Calls{"before", "after"}));
    EXPECT_GT(windows.pagesShown, 1000);
    EXPECT_TRUE(disabledDuringBuild);
    EXPECT_TRUE(hourglass);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(db.ds.ControlsDisabled());
    EXPECT_EQ(db.ds.RecNo(), 1234);
    EXPECT_EQ(topRestored, 7);

    // The next preview shows the grid as it is then: grouped and collapsed, three rows.
    db.grid.GroupColumn(*db.grid.ColumnByFieldName("地区"), 0);
    db.grid.CollapseAll();
    engine.Preview();
    EXPECT_EQ(link.Layout().lines().size(), 3u);
    EXPECT_EQ(windows.pagesShown, 1);

    // An open preview is only brought forward.
    windows.calls.clear();
    windows.previewOpen = true;
    db.grid.ExpandAll();
    EXPECT_TRUE(engine.Preview());
    EXPECT_EQ(windows.calls, (Calls{"raise"}));
    EXPECT_EQ(link.Layout().lines().size(), 3u);
    windows.previewOpen = false;

    // Print: cancel prints nothing, OK rebuilds and prints, the dialog's preview previews.
    windows.calls.clear();
    windows.printAnswer = PrintDialogResult::Cancel;
    EXPECT_FALSE(engine.Print(true));
    // The dialog's page range is the expanded grid's, rebuilt before the dialog.
    EXPECT_GT(windows.pagesShown, 1000);
    windows.printAnswer = PrintDialogResult::Print;
    EXPECT_TRUE(engine.Print(true));
    EXPECT_GT(link.Layout().lines().size(), 70000u);
    windows.printAnswer = PrintDialogResult::Preview;
    engine.Print(true);
    EXPECT_EQ(windows.calls,
              (Calls{"printDialog", "printDialog", "print", "printDialog", "preview"}));
    windows.calls.clear();
    EXPECT_TRUE(engine.Print(false));
    EXPECT_EQ(windows.calls, (Calls{"print"}));

    // A cancelled build leaves an empty report and shows nothing.
    windows.calls.clear();
    engine.OnGenerateReportProgress = [](TdxDBGridReportLink&, int64_t, int64_t) { return false; };
    EXPECT_FALSE(engine.Preview());
    EXPECT_TRUE(windows.calls.empty());
    EXPECT_EQ(link.PageCount(), 0);

    // The thread's progress sink hears the build; its cancel ends preview and print with
    // rg::Cancelled: nothing shown, nothing printed, no report, the grid's place kept.
    engine.OnGenerateReportProgress = nullptr;
    struct CancellingSink : ProgressSink {
        std::vector<std::string> heard;
        bool progress(const char* what, int64_t done, int64_t total) override {
            heard.push_back(std::string(what) + " " + std::to_string(done) + "/" +
                            std::to_string(total));
            return false;
        }
    } sink;
    ProgressScope scope(&sink);
    db.ds.SetRecNo(1234);
    EXPECT_EQ(rgtest::errorOf([&] { engine.Preview(); }), "操作已取消。");
    EXPECT_EQ(rgtest::errorOf([&] { engine.Print(true); }), "操作已取消。");
    EXPECT_TRUE(windows.calls.empty());
    EXPECT_EQ(link.PageCount(), 0);
    ASSERT_EQ(sink.heard.size(), 2u);
    for (const std::string& h : sink.heard)
        EXPECT_EQ(h.rfind("正在生成页面 65536/", 0), 0u) << h;
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(db.ds.ControlsDisabled());
    EXPECT_EQ(db.ds.RecNo(), 1234);
}

TEST(ComponentPrinter, PageSetupAndDesignerOutcomes) {
    guiApp();
    SalesDb db(20);
    TdxComponentPrinter engine;
    FakeWindows windows;
    engine.SetWindows(&windows);
    TdxDBGridReportLink& link = engine.AddLink(&db.grid, "dxComponentPrinter1Link1");

    for (auto [answer, expected] :
         {std::pair{PageSetupResult::Cancel, Calls{"pageSetup"}},
          std::pair{PageSetupResult::OK, Calls{"pageSetup"}},
          std::pair{PageSetupResult::Preview, Calls{"pageSetup", "preview"}},
          std::pair{PageSetupResult::Print, Calls{"pageSetup", "printDialog", "print"}}}) {
        windows.calls.clear();
        windows.setupAnswer = answer;
        EXPECT_EQ(engine.PageSetup(), answer != PageSetupResult::Cancel);
        EXPECT_EQ(windows.calls, expected);
    }

    // The user changes everything in the designer, then leaves without applying.
    const TdxGridReportSettings before = link.Settings();
    windows.design = [](TdxDBGridReportLink& l) {
        l.Options.set(TdxTreeListPaintOption::tlpoGrid, false);
        l.HeaderFont.font.setPointSize(20);
        l.BandColor = Qt::red;
        l.FootersOnEveryPage = true;
        l.ReportTitleText = "标题";
    };
    windows.designerAnswer = {false, false};
    EXPECT_FALSE(engine.DesignReport());
    EXPECT_TRUE(link.Settings() == before);

    // Applied, then cancelled: the applied settings stay.
    windows.designerAnswer = {false, true};
    EXPECT_FALSE(engine.DesignReport());
    EXPECT_FALSE(link.Options.contains(TdxTreeListPaintOption::tlpoGrid));
    EXPECT_EQ(link.ReportTitleText, "标题");

    windows.design = [](TdxDBGridReportLink& l) { l.RestoreDefaults(); };
    windows.designerAnswer = {true, false};
    EXPECT_TRUE(engine.DesignReport());
    EXPECT_TRUE(link.Settings() == TdxGridReportSettings::Defaults());

    TdxComponentPrinter bare;
    EXPECT_THROW(bare.Preview(), Error);
}
