#pragma once

#include <QString>
#include <QStringList>

namespace rg {

// The captions of the settings files in `folder`: every entry named "<caption>.ini",
// folders included, sorted by name in byte order since Linux lists a directory in no
// fixed order. Names beginning with "." are hidden and left out. A folder that is missing
// or cannot be read gives the entries found so far (usually none), without a message.
QStringList savedSetupCaptions(const QString& folder);

} // namespace rg
