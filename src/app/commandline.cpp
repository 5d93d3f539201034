#include "app/commandline.h"

#include "common/datepresets.h"
#include "grid/showas.h"
#include "print/reportformats.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

namespace rg {
namespace {

// Options of Qt's application objects, which the window passes on to them.
constexpr std::array<std::string_view, 14> kQtValueOptions{
    "platform",    "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "session",       "display", "geometry",
    "style",       "stylesheet",         "name",          "title"};
constexpr std::array<std::string_view, 6> kQtFlags{"reverse", "widgetcount", "nograb",
                                                   "dograb",  "sync",        "qmljsdebugger"};

bool contains(const auto& list, std::string_view name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

// Where the options' descriptions start.
constexpr size_t kColumn = 27;

std::string formatLines() {
    std::string lines;
    std::string toStandardOutput;
    for (const ExportFormat& f : ReportFormats().formats()) {
        std::string extensions;
        for (const std::string& e : f.extensions)
            extensions += (extensions.empty() ? "." : "、.") + e;
        std::string line = std::string(kColumn, ' ') + f.name;
        line += std::string(7 - std::min<size_t>(6, f.name.size()), ' ') + extensions + "\n";
        lines += line;
        if (f.toStandardOutput)
            toStandardOutput += (toStandardOutput.empty() ? "" : "、") + f.name;
    }
    return lines + std::string(kColumn, ' ') + toStandardOutput + " 不给 --output 时写到标准输出\n";
}

std::vector<std::string> splitFields(const std::string& list) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = list.find(',', start);
        const std::string part =
            list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!part.empty())
            out.push_back(part);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return out;
}

int parseSeconds(const std::string& text) {
    int seconds = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (ec != std::errc() || end != text.data() + text.size() || seconds <= 0)
        throw Error("--timeout 需要一个正整数秒数，而不是“" + text + "”");
    return seconds;
}

// NAME=VALUE, each name once.
void addParam(RunOptions& o, const std::string& entry) {
    const size_t equals = entry.find('=');
    if (equals == 0 || equals == std::string::npos)
        throw Error("--param 需要 名称=值，而不是“" + entry + "”");
    const std::string name = entry.substr(0, equals);
    for (const auto& [given, value] : o.params)
        if (given == name)
            throw Error("参数“" + name + "”给了两次");
    o.params.emplace_back(name, entry.substr(equals + 1));
}

// The modes by name, three to a line under the option.
std::string showAsLines() {
    std::string lines;
    int n = 0;
    for (const ShowAsMode& m : ShowAsModes()) {
        lines += (n % 3 == 0 ? "\n" + std::string(27, ' ') : std::string(" ")) + m.name + "（" +
                 m.caption + "）";
        ++n;
    }
    return lines + "\n";
}

CalculatedField calculatedField(const std::string& entry) {
    const size_t equals = entry.find('=');
    if (equals == std::string::npos || equals == 0 || equals == entry.size() - 1)
        throw Error("--calc 需要“名称=表达式”，而不是“" + entry + "”");
    return {entry.substr(0, equals), entry.substr(equals + 1)};
}

std::optional<int64_t> asOfOption(const std::string& day) {
    std::optional<int64_t> parsed = parseIsoDay(day);
    if (!parsed)
        throw Error("--as-of 需要日期 yyyy-MM-dd，而不是“" + day + "”");
    return parsed;
}

ScheduleRequest parseScheduleRequest(const std::vector<std::string>& args) {
    if (args.size() < 2 || args[1].empty())
        throw Error("--run-schedule 需要定时输出的名称");
    ScheduleRequest r{args[1], {}, {}};
    for (size_t i = 2; i < args.size(); i += 2) {
        if (i + 1 >= args.size())
            throw Error(format("Option %s needs a value", args[i].c_str()));
        if (args[i] == "--as-of")
            r.asOfDay = asOfOption(args[i + 1]);
        else if (args[i] == "--password-file")
            r.passwordFile = args[i + 1];
        else
            throw Error(format("Unknown option %s", args[i].c_str()));
    }
    return r;
}

SummaryFormula summaryFormula(const std::string& entry) {
    const size_t equals = entry.find('=');
    if (equals == std::string::npos || equals == 0 || equals == entry.size() - 1)
        throw Error("--formula 需要“名称=表达式”或“名称:字段=表达式”，而不是“" + entry + "”");
    const std::string head = entry.substr(0, equals);
    const size_t colon = head.find(':');
    if (colon == 0 || colon == head.size() - 1)
        throw Error("--formula 需要“名称=表达式”或“名称:字段=表达式”，而不是“" + entry + "”");
    if (colon == std::string::npos)
        return {head, entry.substr(equals + 1), {}};
    return {head.substr(0, colon), entry.substr(equals + 1), head.substr(colon + 1)};
}

} // namespace

RunOptions parseRunOptions(const std::vector<std::string>& args) {
    RunOptions o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto next = [&]() -> const std::string& {
            if (i + 1 >= args.size())
                throw Error(format("Option %s needs a value", a.c_str()));
            return args[++i];
        };
        if (a == "--run")
            o.setupFile = next();
        else if (a == "--group-by")
            o.groupBy = splitFields(next());
        else if (a == "--filter")
            o.filter = next();
        else if (a == "--show-as")
            o.showAs.push_back(next());
        else if (a == "--top")
            o.top.push_back(next());
        else if (a == "--calc")
            o.calculated.push_back(calculatedField(next()));
        else if (a == "--formula")
            o.formulas.push_back(summaryFormula(next()));
        else if (a == "--format")
            o.format = next();
        else if (a == "--output")
            o.output = next();
        else if (a == "--save-as")
            o.saveAs = next();
        else if (a == "--timeout")
            o.timeoutSeconds = parseSeconds(next());
        else if (a == "--param")
            addParam(o, next());
        else if (a == "--as-of")
            o.asOfDay = asOfOption(next());
        else if (a == "--password-file")
            o.passwordFile = next();
        else if (a == "--server" || a == "--memory") {
            const RowPlacement p = a == "--server" ? RowPlacement::Server : RowPlacement::Memory;
            if (o.placement && *o.placement != p)
                throw OptionConflict("选项 --server 和 --memory 不能同时使用");
            o.placement = p;
        } else
            throw Error(format("Unknown option %s", a.c_str()));
    }
    if (o.setupFile.empty())
        throw Error("Option --run needs a settings file");
    const ExportFormat* f = ReportFormats().find(o.format);
    if (!f)
        throw Error(
            format("Unknown format %s (%s)", o.format.c_str(), ReportFormats().nameList().c_str()));
    if (!f->toStandardOutput && o.output.empty())
        throw Error(format("Format %s needs --output PATH", o.format.c_str()));
    return o;
}

StartRequest ReadCommandLine(const std::vector<std::string>& args) {
    using Mode = StartRequest::Mode;
    if (!args.empty() && args[0] == "--run-schedule") {
        try {
            return {Mode::RunSchedule, {}, {}, parseScheduleRequest(args)};
        } catch (const Error& e) {
            return {Mode::Misuse, e.what(), {}, {}};
        }
    }
    if (!args.empty() && args[0] == "--run") {
        // Options that contradict each other are a misuse; the run reports its other faults.
        try {
            return {Mode::Run, {}, parseRunOptions(args), {}};
        } catch (const OptionConflict& e) {
            return {Mode::Misuse, e.what(), {}, {}};
        } catch (const Error& e) {
            return {Mode::Run, e.what(), {}, {}};
        }
    }
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h")
            return {Mode::Help, {}, {}, {}};
        if (a == "--version")
            return {Mode::Version, {}, {}, {}};
        if (a.size() < 2 || a[0] != '-')
            return {Mode::Misuse, "多余的参数“" + a + "”", {}, {}};
        std::string_view name(a);
        name.remove_prefix(name.starts_with("--") ? 2 : 1);
        const size_t equals = name.find('=');
        const bool valueGiven = equals != std::string_view::npos;
        name = name.substr(0, equals);
        if (contains(kQtFlags, name))
            continue;
        if (!contains(kQtValueOptions, name))
            return {Mode::Misuse, "无法识别的选项“" + a + "”", {}, {}};
        if (!valueGiven && ++i >= args.size())
            return {Mode::Misuse, "选项“" + a + "”需要一个值", {}, {}};
    }
    return {Mode::Window, {}, {}, {}};
}

std::string UsageText() {
    return "用法：reportgen [Qt 的窗口选项]\n"
           "  或：reportgen --run 设置文件.ini [选项...]\n"
           "  或：reportgen --run-schedule 名称 [--as-of 日期] [--password-file 文件]\n"
           "不带 --run 时打开主窗口（需要图形显示）；带 --run 时不开窗口，像在左栏点选一样载入\n"
           "设置文件，展开所有分组，输出报表。带 --run-schedule 时按保存的定时输出运行一次\n"
           "（定时器和 crontab 就是这样启动它的），写入文件夹或发送邮件，并记入日志。\n"
           "\n"
           "  --run 设置文件.ini       要输出的报表（必须是第一个参数）\n"
           "  --group-by 字段,...      按这些字段分组（逗号分隔），取代保存的分组；字段后加\n"
           "                           :日 :周 :月 :季度 :年 按日期区间分组，加 :区间100\n"
           "                           按宽度 100 的数值区间分组，例如 订单日期:月\n"
           "  --filter 表达式          过滤条件，取代保存的过滤，\n"
           "                           例如 \"amount > 1000 AND region = '华东'\"\n"
           "  --show-as 字段:汇总:方式  这个字段这种汇总（sum count avg min max）的显示方式，\n"
           "                           可重复：" +
           showAsLines() +
           "  --top 分组字段:N:汇总:字段  这一分组层只显示按这项汇总最大的 N 组，其余合为\n"
           "                           “其他”，例如 region:3:sum:amount（可重复）\n"
           "  --calc 名称=表达式       这次运行增加的计算字段（可重复，同名的取代保存的），\n"
           "                           例如 \"毛利率=(amount - cost) / amount\"；分组、\n"
           "                           过滤和输出都可以用它的名称（只在内存中计算）\n"
           "  --formula 名称[:字段]=表达式  这次运行增加的汇总公式（可重复），每一组按本组的\n"
           "                           汇总计算，例如 \"毛利率:margin=SUM(margin) / "
           "SUM(amount)\"；\n"
           "                           给出字段时显示在这一列的页脚，否则写在分组行\n"
           "  --format 格式            输出格式，默认 text：\n" +
           formatLines() +
           "  --param 名称=值          报表参数的值，可以多次给出；日期参数可以写 @预设，\n"
           "                           如 @上月初、@prev_month_start，日期区间的起点可以写\n"
           "                           期间，如 @上月、@prev_month（同时给出终点）；\n"
           "                           没有给出的参数取报表保存的默认值\n"
           "  --as-of 日期             按这一天（yyyy-MM-dd）计算日期预设，默认今天\n"
           "  --output 路径            输出到这个文件（先写临时文件，写完整才替换）\n"
           "  --save-as 设置文件.ini   另存设置（在输出之前）\n"
           "  --timeout 秒数           整次运行的时限，到时停止正在执行的语句\n"
           "  --password-file 文件     设置文件的连接需要而密钥库中没有的密码，\n"
           "                           取这个文件的第一行；不给时取环境变量\n"
           "                           REPORTGEN_PASSWORD\n"
           "  --server                 在数据库服务器上分组汇总，只取显示的行，\n"
           "                           不论设置文件和行数（存储过程仍在内存中）\n"
           "  --memory                 把全部行读进内存汇总，不论设置文件和行数\n"
           "  --help                   显示本帮助并退出\n"
           "  --version                显示版本并退出\n"
           "\n"
           "退出状态：\n"
           "  0  成功（报表写成但有提示时，提示写在标准错误上）\n"
           "  1  失败：--run 的选项、设置文件、数据库或写文件出错，或超过时限；\n"
           "     定时输出重试之后仍然失败\n"
           "  2  无法识别的选项、多余的参数，同时给出 --server 和 --memory，或报表参数\n"
           "     既没有给出值也没有默认值（标准错误上列出这些参数）\n";
}

std::string VersionText() {
    return "reportgen（报表生成器）" RG_VERSION "\n";
}

} // namespace rg
