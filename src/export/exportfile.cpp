#include "export/exportfile.h"

#include "common/error.h"
#include "files/stagedcopy.h"
#include "files/targetfile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace rg {
namespace {

std::mutex heldLock;
std::set<std::string>& heldPaths() {
    static std::set<std::string> held;
    return held;
}

[[noreturn]] void cannotCreate(const std::string& path, std::error_code ec) {
    throw Error(format("Cannot create file \"%s\". %s", path.c_str(), reasonText(ec).c_str()));
}

[[noreturn]] void cannotCreate(const std::string& path, int err) {
    cannotCreate(path, {err, std::generic_category()});
}

[[noreturn]] void cannotWrite(const std::string& path, std::error_code ec) {
    throw Error("无法写入文件“" + path + "”：" + reasonText(ec));
}

[[noreturn]] void cannotWrite(const std::string& path, int err) {
    cannotWrite(path, {err, std::generic_category()});
}

std::string holdKey(const std::string& path) {
    std::error_code ec;
    auto p = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
    return ec ? path : p.string();
}

mode_t currentUmask() {
    const mode_t m = ::umask(0);
    ::umask(m);
    return m;
}

} // namespace

ExportFile::ExportFile(const std::string& path) : path_(path), key_(holdKey(path)) {
    if (path.empty())
        cannotCreate(path, ENOENT);
    {
        std::lock_guard<std::mutex> g(heldLock);
        if (!heldPaths().insert(key_).second)
            cannotCreate(path, EBUSY);
    }
    recoverInterruptedCopies();
    // Refuse now what the final rename would refuse, before anything is written. A link
    // is followed, so that the file it names is written and the link stays.
    WriteTarget target;
    std::error_code ec = resolveWriteTarget(path, target);
    if (!ec && target.exists && ::access(target.path.c_str(), W_OK) != 0)
        ec = {errno, std::generic_category()};
    // A file without write permission is read-only for root as well, as a save takes it.
    if (!ec && target.exists && (target.mode & 0222) == 0)
        ec = std::make_error_code(std::errc::permission_denied);
    std::string tempPath;
    if (!ec)
        fd_ = createTemporaryBeside(target.path, tempPath);
    // A folder that takes no new file: an existing writable file gets its content through a
    // staging file elsewhere, copied over it at Commit.
    if (!ec && fd_ < 0 && target.exists) {
        fd_ = createStagingFile(target.path, tempPath);
        staged_ = fd_ >= 0;
    }
    if (!ec && fd_ < 0)
        ec = {errno, std::generic_category()};
    if (ec) {
        std::lock_guard<std::mutex> g(heldLock);
        heldPaths().erase(key_);
        cannotCreate(path, ec);
    }
    if (!staged_)
        ::fchmod(fd_, target.exists ? target.mode : 0666 & ~currentUmask());
    tempPath_ = tempPath;
    targetPath_ = target.path.string();
    buffer_.reserve(kFlushSize + 4096);
}

ExportFile::~ExportFile() {
    if (!committed_) {
        closeTemp();
        if (!tempPath_.empty())
            ::unlink(tempPath_.c_str());
    }
    std::lock_guard<std::mutex> g(heldLock);
    heldPaths().erase(key_);
}

void ExportFile::Flush() {
    const char* p = buffer_.data();
    size_t left = buffer_.size();
    while (left > 0) {
        const ssize_t n = fd_ >= 0 ? ::write(fd_, p, left) : -1;
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            buffer_.clear();
            if (fd_ < 0)
                throw Error("Stream write error");
            cannotWrite(path_, n == 0 ? EIO : errno);
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    buffer_.clear();
}

void ExportFile::closeTemp() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void ExportFile::Commit() {
    Flush();
    const int fd = fd_;
    fd_ = -1;
    if (staged_) {
        if (const std::error_code ec = copyOverTarget(targetPath_, fd, tempPath_))
            cannotWrite(path_, ec);
        committed_ = true;
        return;
    }
    const bool synced = ::fsync(fd) == 0;
    const int err = synced ? 0 : errno;
    if (::close(fd) != 0 || !synced)
        cannotWrite(path_, err ? err : errno);
    if (::rename(tempPath_.c_str(), targetPath_.c_str()) != 0)
        cannotCreate(path_, errno);
    committed_ = true;
}

} // namespace rg
