#include "app/savedsetups.h"

#include "common/codepage.h"
#include "common/error.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace fs = std::filesystem;

namespace rg {

namespace {

// A file name's text: UTF-8 as Linux writes it, else the GBK bytes of the Windows program.
std::string nameText(const std::string& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(QByteArrayView(bytes));
    return utf8.hasError() ? fromAnsi(bytes) : text.toStdString();
}

bool hasIniExtension(const std::string& name) {
    if (name.size() < 4)
        return false;
    std::string ext = name.substr(name.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".ini";
}

} // namespace

std::vector<SavedSetup> savedSetups(const QString& folder) {
    const std::string dir = QFile::encodeName(folder).toStdString();
    struct Found {
        std::string caption; // UTF-8
        std::string path;
    };
    std::vector<Found> found;
    std::error_code ec;
    fs::directory_iterator it(fs::path(dir), ec);
    // A scan error ends the scan silently; what was found so far is listed.
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.' || !hasIniExtension(name))
            continue;
        found.push_back({nameText(name.substr(0, name.size() - 4)), it->path().string()});
    }
    // Equal captions (one name in UTF-8, one in GBK) keep a fixed order by their bytes.
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        const int c = ansiCompare(a.caption, b.caption);
        return c != 0 ? c < 0 : a.path < b.path;
    });
    std::vector<SavedSetup> setups;
    for (Found& f : found)
        setups.push_back({QString::fromStdString(f.caption), std::move(f.path)});
    return setups;
}

void requireSetupFile(const std::string& path) {
    std::error_code ec;
    if (!fs::exists(fs::path(path), ec))
        throw Error("找不到设置文件：" + nameText(fs::path(path).filename().string()));
}

} // namespace rg
