#include "files/stagedcopy.h"

#include "files/targetfile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <vector>

namespace rg {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kNew = ".new", kOld = ".old", kJournal = ".journal", kPart = ".part";
constexpr std::string_view kJournalHead = "rgcopy1";

std::error_code lastError() {
    return {errno, std::generic_category()};
}

bool endsWith(std::string_view s, std::string_view end) {
    return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

// A folder of ours alone: made if missing, refused when it is a link, another user's or
// open to others (someone else could plant a journal there).
bool privateFolder(const fs::path& folder, bool create) {
    if (create)
        ::mkdir(folder.c_str(), 0700);
    struct stat st {};
    return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 077) == 0;
}

// A regular file of ours, opened without following a link and without blocking.
int openOwn(const fs::path& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(fd);
        errno = EPERM;
        return -1;
    }
    return fd;
}

bool lockFile(int fd, int how) {
    while (::flock(fd, how) != 0)
        if (errno != EINTR)
            return false;
    return true;
}

// The first `size` bytes of one file over the start of another.
bool copyBytes(int from, int to, off_t size) {
    std::vector<char> buffer(1 << 20);
    for (off_t done = 0; done < size;) {
        const size_t want =
            static_cast<size_t>(std::min<off_t>(size - done, static_cast<off_t>(buffer.size())));
        const ssize_t got = ::pread(from, buffer.data(), want, done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            if (got == 0)
                errno = EIO; // the file is shorter than it was
            return false;
        }
        for (ssize_t put = 0; put < got;) {
            const ssize_t n =
                ::pwrite(to, buffer.data() + put, static_cast<size_t>(got - put), done + put);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            put += n;
        }
        done += got;
    }
    return true;
}

bool copyWhole(int from, int to, off_t size) {
    return copyBytes(from, to, size) && ::ftruncate(to, size) == 0 && ::fsync(to) == 0;
}

void syncFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The journal's name of the target: a recovery may run in another working folder.
fs::path wholePath(const fs::path& path) {
    std::error_code ec;
    fs::path whole = fs::absolute(path, ec);
    return ec ? path : whole;
}

void removeAll(const std::string& base) {
    for (std::string_view end : {kJournal, kOld, kNew, kPart})
        ::unlink((base + std::string(end)).c_str());
}

// The journal names the target by its path and its inode, so that a restore never lands
// on a file that has been put in its place since.
std::string journalText(const struct stat& target, const fs::path& path) {
    char head[96];
    std::snprintf(head, sizeof head, "%s %ju %ju\n", kJournalHead.data(),
                  static_cast<uintmax_t>(target.st_dev), static_cast<uintmax_t>(target.st_ino));
    return head + path.string();
}

bool writeJournal(const std::string& base, const struct stat& target, const fs::path& path,
                  int& journalFd) {
    const std::string part = base + std::string(kPart);
    journalFd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (journalFd < 0)
        return false;
    const std::string text = journalText(target, path);
    // Locked before it gets its name, so that no recovery ever takes it for a dead writer's.
    return lockFile(journalFd, LOCK_EX) &&
           ::write(journalFd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
           ::fsync(journalFd) == 0 &&
           ::rename(part.c_str(), (base + std::string(kJournal)).c_str()) == 0;
}

// The old content back into the target of one journal whose writer is gone.
void recoverJournal(const std::string& base) {
    const int jfd = openOwn(base + std::string(kJournal), O_RDONLY);
    if (jfd < 0)
        return;
    if (::flock(jfd, LOCK_EX | LOCK_NB) != 0) { // its writer still runs
        ::close(jfd);
        return;
    }
    std::string text(64 * 1024, '\0');
    const ssize_t n = ::read(jfd, text.data(), text.size());
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    const size_t eol = text.find('\n');
    uintmax_t dev = 0, ino = 0;
    char head[16] = {};
    bool restored = true;
    if (eol != std::string::npos &&
        std::sscanf(text.substr(0, eol).c_str(), "%15s %ju %ju", head, &dev, &ino) == 3 &&
        head == kJournalHead) {
        const std::string target = text.substr(eol + 1);
        const int ofd = openOwn(base + std::string(kOld), O_RDONLY);
        const int tfd = ::open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        struct stat ost {
        }, tst{};
        if (ofd >= 0 && tfd >= 0 && ::fstat(ofd, &ost) == 0 && ::fstat(tfd, &tst) == 0 &&
            S_ISREG(tst.st_mode) && tst.st_dev == dev && tst.st_ino == ino)
            restored = lockFile(tfd, LOCK_EX) && copyWhole(ofd, tfd, ost.st_size);
        if (ofd >= 0)
            ::close(ofd);
        if (tfd >= 0)
            ::close(tfd);
    }
    // A restore that failed keeps everything for the next try.
    if (restored)
        removeAll(base);
    ::close(jfd);
}

// Staging and old copies that no journal names and no writer holds any more.
void removeOrphan(const fs::path& file) {
    const std::string name = file.string();
    const std::string base = name.substr(0, name.rfind('.'));
    if (::access((base + std::string(kJournal)).c_str(), F_OK) == 0)
        return;
    const int fd = openOwn(file, O_RDONLY);
    if (fd < 0)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        ::unlink(name.c_str());
    ::close(fd);
}

} // namespace

std::vector<fs::path> stagingFolders(bool create) {
    std::vector<fs::path> folders;
    fs::path cache;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && xdg[0] == '/')
        cache = xdg;
    else if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        cache = fs::path(home) / ".cache";
    if (!cache.empty()) {
        if (create)
            ::mkdir(cache.c_str(), 0700);
        if (privateFolder(cache / "reportgen", create))
            folders.push_back(cache / "reportgen");
    }
    std::error_code ec;
    const fs::path temp = fs::temp_directory_path(ec);
    const fs::path own =
        (ec ? fs::path("/tmp") : temp) / ("reportgen-" + std::to_string(::geteuid()));
    if (privateFolder(own, create))
        folders.push_back(own);
    return folders;
}

int createStagingFile(const fs::path& target, std::string& stagingPath) {
    const std::vector<fs::path> folders = stagingFolders(true);
    if (folders.empty()) {
        errno = EACCES;
        return -1;
    }
    // On the target's file system the copy of the old content takes space where the user
    // expects it to, and a disk that is full for the target is full for it too.
    struct stat tst {};
    fs::path chosen = folders.front();
    if (::stat(target.parent_path().empty() ? "." : target.parent_path().c_str(), &tst) == 0)
        for (const fs::path& f : folders) {
            struct stat fst {};
            if (::stat(f.c_str(), &fst) == 0 && fst.st_dev == tst.st_dev) {
                chosen = f;
                break;
            }
        }
    std::string pattern = (chosen / ("copy-XXXXXX" + std::string(kNew))).string();
    const int fd = ::mkostemps(pattern.data(), static_cast<int>(kNew.size()), O_CLOEXEC);
    if (fd < 0)
        return -1;
    ::flock(fd, LOCK_EX | LOCK_NB);
    stagingPath = pattern;
    return fd;
}

std::error_code copyOverTarget(const fs::path& target, int stagingFd,
                               const std::string& stagingPath) {
    const std::string base = stagingPath.substr(0, stagingPath.size() - kNew.size());
    std::error_code ec;
    struct stat sst {
    }, tst{};
    int tfd = -1, ofd = -1, jfd = -1;
    if (::fsync(stagingFd) != 0 || ::fstat(stagingFd, &sst) != 0)
        ec = lastError();
    if (!ec && (tfd = ::open(target.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)) < 0)
        ec = lastError();
    if (!ec && ::fstat(tfd, &tst) != 0)
        ec = lastError();
    if (!ec && !S_ISREG(tst.st_mode))
        ec = specialFileError();
    if (!ec && (!lockFile(tfd, LOCK_EX) || ::fstat(tfd, &tst) != 0))
        ec = lastError();
    // The old content, complete and on disk before the journal names it.
    if (!ec) {
        ofd = ::open((base + std::string(kOld)).c_str(),
                     O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (ofd < 0 || !lockFile(ofd, LOCK_EX) || !copyWhole(tfd, ofd, tst.st_size))
            ec = lastError();
    }
    if (!ec && !writeJournal(base, tst, wholePath(target), jfd))
        ec = lastError();
    if (!ec)
        syncFolder(fs::path(stagingPath).parent_path());
    if (!ec && sst.st_size > tst.st_size) {
        const int err = ::fallocate(tfd, FALLOC_FL_KEEP_SIZE, 0, sst.st_size) == 0 ? 0 : errno;
        if (err != 0 && err != EOPNOTSUPP && err != ENOSYS)
            ec = {err, std::generic_category()};
    }
    // Past this point the target changes: a failure puts the old content back at once,
    // and where even that fails the journal stays for the next write to restore.
    bool keepJournal = false;
    if (!ec && !copyWhole(stagingFd, tfd, sst.st_size)) {
        ec = lastError();
        keepJournal = !copyWhole(ofd, tfd, tst.st_size);
    }
    if (keepJournal)
        ::unlink(stagingPath.c_str());
    else
        removeAll(base);
    for (int fd : {jfd, ofd, tfd, stagingFd})
        if (fd >= 0)
            ::close(fd);
    return ec;
}

void recoverInterruptedCopies() {
    for (const fs::path& folder : stagingFolders(false)) {
        std::vector<fs::path> journals, others;
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (endsWith(name, kJournal))
                journals.push_back(it->path());
            else if (endsWith(name, kNew) || endsWith(name, kOld) || endsWith(name, kPart))
                others.push_back(it->path());
        }
        for (const fs::path& j : journals) {
            const std::string name = j.string();
            recoverJournal(name.substr(0, name.size() - kJournal.size()));
        }
        for (const fs::path& f : others)
            removeOrphan(f);
    }
}

} // namespace rg
