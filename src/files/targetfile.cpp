#include "files/targetfile.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rg {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kTempMark = ".rgtmp-";
// Leaves room for ".", the mark, a process number and the six-letter suffix in 255 bytes.
constexpr size_t kMaxNamePart = 200;

class TargetErrors : public std::error_category {
public:
    const char* name() const noexcept override { return "target file"; }
    std::string message(int) const override {
        return "不是普通文件（设备、管道或套接字），不能写入";
    }
};

std::error_code lastError() {
    return {errno, std::generic_category()};
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// The process number in a temporary file's name, 0 when the name is not one of ours.
pid_t writerOf(const std::string& name) {
    if (name.size() < 2 || name[0] != '.')
        return 0;
    const size_t mark = name.rfind(kTempMark);
    if (mark == std::string::npos || mark == 0)
        return 0;
    const std::string rest = name.substr(mark + kTempMark.size());
    const size_t dash = rest.find('-');
    if (dash == std::string::npos || dash == 0 || rest.size() - dash - 1 != 6)
        return 0;
    pid_t pid = 0;
    for (size_t i = 0; i < dash; ++i) {
        if (rest[i] < '0' || rest[i] > '9' || pid > 100000000)
            return 0;
        pid = pid * 10 + (rest[i] - '0');
    }
    return pid;
}

} // namespace

std::error_code specialFileError() {
    static const TargetErrors category;
    return {1, category};
}

std::error_code resolveWriteTarget(const fs::path& path, WriteTarget& target) {
    fs::path p = path;
    std::error_code ec;
    for (int hops = 0; fs::is_symlink(p, ec); ++hops) {
        if (hops == 40)
            return std::make_error_code(std::errc::too_many_symbolic_link_levels);
        const fs::path to = fs::read_symlink(p, ec);
        if (ec)
            return ec;
        p = to.is_absolute() ? to : p.parent_path() / to;
    }
    target = WriteTarget{};
    target.path = p;
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return {};
        return lastError();
    }
    if (S_ISDIR(st.st_mode))
        return std::make_error_code(std::errc::is_a_directory);
    if (!S_ISREG(st.st_mode))
        return specialFileError();
    target.exists = true;
    target.mode = st.st_mode & 07777;
    target.uid = st.st_uid;
    target.gid = st.st_gid;
    target.size = st.st_size;
    return {};
}

void removeStaleTemporaries(const fs::path& folder) {
    std::error_code ec;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end;
         !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const pid_t pid = writerOf(name);
        // A living process number may be one reused by another program: left alone, the
        // file goes at a later write.
        if (pid <= 0 || ::kill(pid, 0) == 0 || errno != ESRCH)
            continue;
        const int fd = ::open(it->path().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st {};
        // The lock guards against a writer in another process-number space sharing the folder.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(it->path().c_str());
        ::close(fd);
    }
}

int createTemporaryBeside(const fs::path& target, std::string& tempPath) {
    fs::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";
    removeStaleTemporaries(folder);
    // A legal name of up to 255 bytes must still get a temporary name: the name's part in
    // it is cut (at a character boundary) so that the mark and the suffix fit.
    std::string name = target.filename().string();
    if (name.size() > kMaxNamePart) {
        size_t cut = kMaxNamePart;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    std::string pattern =
        (folder / ("." + name + std::string(kTempMark) + std::to_string(::getpid()) + "-XXXXXX")).string();
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return -1;
    ::flock(fd, LOCK_EX | LOCK_NB);
    tempPath = pattern;
    return fd;
}

std::error_code overwriteInPlace(const fs::path& file, std::string_view bytes, off_t oldSize) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return lastError();
    std::error_code ec;
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        ec = lastError();
    else if (!S_ISREG(st.st_mode))
        ec = specialFileError();
    const off_t size = static_cast<off_t>(bytes.size());
    if (!ec && size > oldSize) {
        if (const int err = ::posix_fallocate(fd, 0, size)) {
            ec = {err, std::generic_category()};
            [[maybe_unused]] const int undone = ::ftruncate(fd, oldSize);
        }
    }
    if (!ec && (!writeAll(fd, bytes) || ::ftruncate(fd, size) != 0 || ::fsync(fd) != 0))
        ec = lastError();
    if (::close(fd) != 0 && !ec)
        ec = lastError();
    return ec;
}

} // namespace rg
