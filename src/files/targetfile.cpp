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
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut;
        name.resize(cut);
    }
    std::string pattern =
        (folder / ("." + name + std::string(kTempMark) + std::to_string(::getpid()) + "-XXXXXX"))
            .string();
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return -1;
    ::flock(fd, LOCK_EX | LOCK_NB);
    tempPath = pattern;
    return fd;
}

std::string reasonText(std::error_code ec) {
    if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted)
        return "没有写入权限";
    if (ec == std::errc::read_only_file_system)
        return "文件系统是只读的";
    if (ec == std::errc::no_space_on_device)
        return "磁盘空间不足";
    if (ec.category() == std::generic_category() && ec.value() == EDQUOT)
        return "超出磁盘配额";
    if (ec == std::errc::file_too_large)
        return "文件太大";
    if (ec == std::errc::io_error)
        return "输入输出错误";
    if (ec == std::errc::is_a_directory)
        return "同名的文件夹已存在";
    if (ec == std::errc::not_a_directory || ec == std::errc::no_such_file_or_directory)
        return "文件夹不存在";
    return ec.message();
}

} // namespace rg
