#pragma once

// Files are replaced through a temporary file beside them and a rename. These pieces make
// sure such a write lands where the user pointed: through a symbolic link into its target,
// never over a device or a FIFO, and without leaving the temporary files of a killed
// writer behind for good.

#include <filesystem>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <system_error>

namespace rg {

// The error of a target that is neither a regular file nor missing (a device, a FIFO, a
// socket); its message is the Chinese reason shown to the user.
std::error_code specialFileError();

// Where a write to a path goes.
struct WriteTarget {
    std::filesystem::path path; // the file itself: a symbolic link's final target
    bool exists = false;
    mode_t mode = 0; // of the existing file
    uid_t uid = 0;
    gid_t gid = 0;
    off_t size = 0;
};

// Follows symbolic links to the file they name (a dangling link names the file it would
// create). A directory gives is_a_directory, anything else but a regular file
// specialFileError().
std::error_code resolveWriteTarget(const std::filesystem::path& path, WriteTarget& target);

// A new temporary file in the folder of `target`, named "." + its name + ".rgtmp-PID-XXXXXX"
// and locked for as long as it is open. First removes the temporary files that writers
// which are gone left in that folder. Returns the descriptor and sets `tempPath`, or -1
// with errno set.
int createTemporaryBeside(const std::filesystem::path& target, std::string& tempPath);

// Removes, from `folder`, the temporary files of writers that no longer run: named as
// createTemporaryBeside names them, with a process number that is gone and no lock held.
void removeStaleTemporaries(const std::filesystem::path& folder);

// Why a file could not be read or written, in the words the user reads.
std::string reasonText(std::error_code ec);

} // namespace rg
