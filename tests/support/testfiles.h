#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace rg::test {

// A fresh empty folder per test case, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        std::string name = (std::filesystem::temp_directory_path() / "rg_setup_XXXXXX").string();
        path_ = ::mkdtemp(name.data());
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    const std::filesystem::path& path() const { return path_; }
    size_t entryCount() const {
        return std::distance(std::filesystem::directory_iterator(path_),
                             std::filesystem::directory_iterator());
    }

private:
    std::filesystem::path path_;
};

inline std::string readBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void writeBytes(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

// Makes a file or folder read-only for as long as it lives: with the immutable attribute
// where the file system has it, which binds root too, else by its permission bits.
class ReadOnly {
public:
    explicit ReadOnly(std::filesystem::path path) : path_(std::move(path)) {
        immutable_ = std::system(("chattr +i '" + path_.string() + "' 2>/dev/null").c_str()) == 0;
        if (!immutable_) {
            ::stat(path_.c_str(), &old_);
            ::chmod(path_.c_str(), old_.st_mode & 07555);
        }
    }
    ~ReadOnly() {
        if (immutable_) {
            [[maybe_unused]] const int undone =
                std::system(("chattr -i '" + path_.string() + "'").c_str());
        } else {
            ::chmod(path_.c_str(), old_.st_mode & 07777);
        }
    }
    ReadOnly(const ReadOnly&) = delete;
    ReadOnly& operator=(const ReadOnly&) = delete;
    // Whether the program cannot write there even as root. The program itself takes a file
    // without write permission as read-only for root as well, but not a folder.
    bool bindsEveryone() const { return immutable_ || ::geteuid() != 0; }

private:
    std::filesystem::path path_;
    bool immutable_ = false;
    struct stat old_ {};
};

} // namespace rg::test
