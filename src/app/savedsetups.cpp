#include "app/savedsetups.h"

#include <QFile>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace rg {

QStringList savedSetupCaptions(const QString& folder) {
    namespace fs = std::filesystem;
    static const std::string suffix = ".ini";
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(fs::path(QFile::encodeName(folder).toStdString()), ec);
    // A scan error ends the scan silently; what was found so far is listed.
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.' || name.size() < suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    QStringList captions;
    for (const std::string& name : names)
        captions << QFile::decodeName(QByteArray::fromStdString(name.substr(0, name.size() - 4)));
    return captions;
}

} // namespace rg
