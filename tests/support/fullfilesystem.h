#pragma once

// A small tmpfs that can be filled to the last byte, for the failed writes of a full disk.
// Only root can mount one: mounted() says whether the test can use it.

#include <filesystem>
#include <string>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace rgtest {

class FullFileSystem {
public:
    explicit FullFileSystem(const std::string& folder) : folder_(folder) {
        std::filesystem::create_directory(folder_);
        mounted_ =
            ::geteuid() == 0 && ::mount("tmpfs", folder_.c_str(), "tmpfs", 0, "size=64k") == 0;
    }
    ~FullFileSystem() {
        if (mounted_)
            ::umount(folder_.c_str());
    }
    FullFileSystem(const FullFileSystem&) = delete;
    FullFileSystem& operator=(const FullFileSystem&) = delete;

    bool mounted() const { return mounted_; }
    // Takes up every free byte that is left.
    void fill() {
        const int fd = ::open((folder_ + "/.filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const std::string block(4096, 'f');
        while (::write(fd, block.data(), block.size()) > 0) {
        }
        while (::write(fd, "f", 1) > 0) {
        }
        ::close(fd);
    }

private:
    std::string folder_;
    bool mounted_ = false;
};

} // namespace rgtest
