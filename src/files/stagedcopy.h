#pragma once

// Replacing a file whose folder takes no new file (a folder the user cannot write, a file
// they can). The new content is written whole into a staging file in a folder that can
// take one, then copied over the target under an exclusive advisory lock. A copy of the
// old content and a journal naming the target are kept until that copy has finished, so a
// writer killed during the copy is undone at the next write or load: the target holds the
// old content again.

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace rg {

// The folders that can take staging files, private to this user (mode 0700): the user's
// cache folder ($XDG_CACHE_HOME or ~/.cache, then "reportgen"), else one in the temporary
// folder. Folders that cannot be made (or, without `create`, do not exist) or are not ours
// are left out.
std::vector<std::filesystem::path> stagingFolders(bool create);

// A new staging file for content that is to replace `target`, locked for as long as it is
// open, on the target's file system where one of the staging folders is. Returns the
// descriptor and sets `stagingPath`, or -1 with errno set.
int createStagingFile(const std::filesystem::path& target, std::string& stagingPath);

// Copies the complete content of the staging file over `target` and removes the staging
// file; takes over `stagingFd` and closes it. The target keeps its inode, owner and mode.
// Space is reserved before the first byte changes and a failed copy puts the old content
// back, so an error leaves the target as it was.
std::error_code copyOverTarget(const std::filesystem::path& target, int stagingFd,
                               const std::string& stagingPath);

// Puts the old content back into every target whose copy was interrupted by the end of
// its writer, and removes what such writers left in the staging folders. Copies of
// running writers are left alone.
void recoverInterruptedCopies();

} // namespace rg
