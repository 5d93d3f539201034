#include "print/reportformats.h"
#include "setup/setup.h"
#include "testdb.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

// The real program as started from a terminal without any display: no X or Wayland display
// and no Qt platform chosen, so that anything reaching for a window aborts.
Outcome reportgen(const std::string& args) {
    char folder[] = "/tmp/rg-cmdline-XXXXXX";
    const std::string errFile = std::string(mkdtemp(folder)) + "/stderr";
    const std::string cmd = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                            std::string(RG_BINARY_DIR) + "/reportgen " + args + " 2>" + errFile +
                            " </dev/null";
    Outcome r;
    FILE* p = popen(cmd.c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    const int raw = pclose(p);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    std::ifstream e(errFile);
    std::stringstream ss;
    ss << e.rdbuf();
    r.err = ss.str();
    std::filesystem::remove_all(folder);
    return r;
}

} // namespace

TEST(CommandLine, HelpAndVersionNeedNoDisplay) {
    const Outcome help = reportgen("--help");
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_EQ(help.err, "");
    for (const char* option :
         {"--run", "--group-by", "--filter", "--format", "--output", "--save-as", "--timeout",
          "--server", "--memory", "--help", "--version"})
        EXPECT_NE(help.out.find(std::string("  ") + option + " "), std::string::npos) << option;
    // Every format the runner writes, with its extensions, from the one registry.
    for (const rg::ExportFormat& f : rg::ReportFormats().formats()) {
        const size_t line = help.out.find(" " + f.name + " ");
        ASSERT_NE(line, std::string::npos) << f.name;
        const std::string rest = help.out.substr(line, help.out.find('\n', line) - line);
        for (const std::string& e : f.extensions)
            EXPECT_NE(rest.find("." + e), std::string::npos) << rest;
    }
    for (const char* status : {"\n  0  ", "\n  1  ", "\n  2  "})
        EXPECT_NE(help.out.find(status), std::string::npos) << status;
    EXPECT_EQ(reportgen("-h").out, help.out);
    // Qt's own options for the window are passed over on the way.
    EXPECT_EQ(reportgen("-platform offscreen --style=fusion --help").out, help.out);

    const Outcome version = reportgen("--version");
    EXPECT_EQ(version.status, 0) << version.err;
    EXPECT_EQ(version.out, "reportgen（报表生成器）" RG_VERSION "\n");
    EXPECT_EQ(version.err, "");
}

// As GNU programs do: the usage on standard error, status 2, nothing on standard output.
TEST(CommandLine, WrongArgumentsPrintTheUsageAndExitTwo) {
    const std::string usage = reportgen("--help").out;
    ASSERT_FALSE(usage.empty());
    const struct {
        const char* args;
        const char* problem;
    } cases[] = {
        {"--bogus", "无法识别的选项“--bogus”"},
        {"-x --help", "无法识别的选项“-x”"},
        {"report.ini", "多余的参数“report.ini”"},
        {"-platform", "选项“-platform”需要一个值"},
        {"--run-schedule", "--run-schedule 需要定时输出的名称"},
        {"--run-schedule 周报 --format csv", "Unknown option --format"},
        {"--run-schedule 周报 --as-of", "Option --as-of needs a value"},
    };
    for (const auto& c : cases) {
        const Outcome r = reportgen(c.args);
        EXPECT_EQ(r.status, 2) << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        EXPECT_EQ(r.err, std::string("reportgen：") + c.problem + "\n" + usage) << c.args;
    }
    // After --run the runner's own options are read as they always were: a wrong one is a
    // failed run.
    const Outcome run = reportgen("--run none.ini --help");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Unknown option --help\n");
    const Outcome format = reportgen("--run none.ini --format doc");
    EXPECT_EQ(format.status, 1);
    EXPECT_EQ(format.err, "Unknown format doc (text, csv, xls, xlsx, xml, html or pdf)\n");
    // Two placements at once cannot both hold: the command line is wrong, whatever its other
    // options, and nothing is opened.
    for (const char* args :
         {"--run none.ini --server --memory", "--run none.ini --memory --format csv --server",
          "--run none.ini --server --server --memory"}) {
        const Outcome both = reportgen(args);
        EXPECT_EQ(both.status, 2) << args;
        EXPECT_EQ(both.out, "") << args;
        EXPECT_EQ(both.err, "reportgen：选项 --server 和 --memory 不能同时使用\n" + usage) << args;
    }
    // Either alone is a run like any other: here of a file that is not there.
    for (const char* placement : {"--server", "--memory"}) {
        const Outcome one = reportgen(std::string("--run none.ini ") + placement);
        EXPECT_EQ(one.status, 1) << placement;
        EXPECT_NE(one.err.find("找不到设置文件：none.ini"), std::string::npos) << one.err;
    }
}

// Each registered format is written by the runner on a machine without a display: the paged
// one through a GUI application on the offscreen platform, the others without one.
TEST(CommandLine, EveryRegisteredFormatRunsWithoutADisplay) {
    TestDb db(kRegionSales);
    const std::string ini = db.folder + "/sales.ini";
    {
        rg::TSetup s(ini);
        s.WriteConnString(db.conn.ConnectionString());
        s.WriteCommandType("cmdTable");
        s.WriteCommandText("t");
        s.WriteKeyField("id");
        s.WriteSummaryField("amount", "cstsum");
    }
    for (const rg::ExportFormat& f : rg::ReportFormats().formats()) {
        const std::string out = db.folder + "/report." + f.extensions.front();
        const Outcome r = reportgen("--run " + ini + " --group-by region --format " + f.name +
                                    " --output " + out);
        EXPECT_EQ(r.status, 0) << f.name << ": " << r.err;
        EXPECT_EQ(r.out, "") << f.name;
        std::ifstream file(out, std::ios::binary);
        std::string head(5, '\0');
        file.read(head.data(), 5);
        EXPECT_TRUE(file.good()) << f.name;
        if (f.paged) {
            EXPECT_EQ(head, "%PDF-") << f.name;
        }
    }
}
