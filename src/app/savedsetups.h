#pragma once

#include <QString>

#include <string>
#include <vector>

namespace rg {

// One settings file of the setup folder: the caption the list shows and the file's own
// path bytes, by which it is opened (names copied from Windows are GBK bytes).
struct SavedSetup {
    QString caption;
    std::string path;
};

// The settings files in `folder`: every entry named "<caption>.ini", the extension in any
// letter case, folders included. A name is read as UTF-8 when it is valid UTF-8, else as
// GB18030. Captions are sorted in the grid's text order (code page 936 bytes: pinyin order
// for common Chinese), since Linux lists a directory in no fixed order. Names beginning
// with "." are hidden and left out. A folder that is missing or cannot be read gives the
// entries found so far (usually none), without a message.
std::vector<SavedSetup> savedSetups(const QString& folder);

// Throws rg::Error "找不到设置文件：<name>" when the listed file has gone away since.
void requireSetupFile(const std::string& path);

} // namespace rg
