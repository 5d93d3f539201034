#include "export/exportfile.h"

#include "common/error.h"

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

[[noreturn]] void cannotCreate(const std::string& path, int err) {
    throw Error(format("Cannot create file \"%s\". %s", path.c_str(), std::strerror(err)));
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
    if (path.empty()) cannotCreate(path, ENOENT);
    {
        std::lock_guard<std::mutex> g(heldLock);
        if (!heldPaths().insert(key_).second) cannotCreate(path, EBUSY);
    }
    // Refuse now what the final rename would refuse, before anything is written.
    struct stat st {};
    mode_t mode = 0666 & ~currentUmask();
    if (::stat(path.c_str(), &st) == 0) {
        int err = 0;
        if (S_ISDIR(st.st_mode))
            err = EISDIR;
        else if (::access(path.c_str(), W_OK) != 0)
            err = errno;
        if (err != 0) {
            std::lock_guard<std::mutex> g(heldLock);
            heldPaths().erase(key_);
            cannotCreate(path, err);
        }
        mode = st.st_mode & 07777;
    }
    const std::filesystem::path target(path);
    const std::string name = target.filename().string();
    std::string folder = target.parent_path().string();
    if (folder.empty()) folder = ".";
    std::string pattern = folder + "/." + name + ".XXXXXX";
    fd_ = ::mkstemp(pattern.data());
    if (fd_ < 0) {
        const int err = errno;
        std::lock_guard<std::mutex> g(heldLock);
        heldPaths().erase(key_);
        cannotCreate(path, err);
    }
    ::fchmod(fd_, mode);
    tempPath_ = pattern;
    buffer_.reserve(kFlushSize + 4096);
}

ExportFile::~ExportFile() {
    if (!committed_) {
        closeTemp();
        if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
    }
    std::lock_guard<std::mutex> g(heldLock);
    heldPaths().erase(key_);
}

void ExportFile::Flush() {
    const char* p = buffer_.data();
    size_t left = buffer_.size();
    while (left > 0) {
        const ssize_t n = fd_ >= 0 ? ::write(fd_, p, left) : -1;
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            buffer_.clear();
            throw Error("Stream write error");
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
    if (::close(fd) != 0) throw Error("Stream write error");
    if (::rename(tempPath_.c_str(), path_.c_str()) != 0) cannotCreate(path_, errno);
    committed_ = true;
}

} // namespace rg
