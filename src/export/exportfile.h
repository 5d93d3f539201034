#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace rg {

// An output file written through a temporary file in the target folder and renamed over
// the target only by Commit(), so a failed export never destroys the file that was there.
// A symbolic link is followed to the file it names; devices, FIFOs and read-only files
// (no write permission, whoever runs the program) are refused. In a folder that takes no
// new file the content goes into a staging file elsewhere and is copied over an existing
// writable file at Commit, in a way a killed export can undo (files/stagedcopy.h).
// A path is held exclusively while its file is open: a second file on the same path fails
// to be created, as an exclusively opened file would.
class ExportFile {
public:
    // Throws rg::Error "Cannot create file "%s". %s" with the path and the cause in Chinese
    // ("没有写入权限", "文件夹不存在"; the system's text for a rarer one).
    explicit ExportFile(const std::string& path);
    ~ExportFile(); // without Commit the temporary file is removed
    ExportFile(const ExportFile&) = delete;
    ExportFile& operator=(const ExportFile&) = delete;

    const std::string& path() const { return path_; }

    // Buffered; a failed write throws rg::Error naming the file and the cause ("磁盘空间不足"),
    // a write after Commit "Stream write error".
    void Write(const void* data, size_t size) {
        buffer_.append(static_cast<const char*>(data), size);
        if (buffer_.size() >= kFlushSize)
            Flush();
    }
    void Write(std::string_view s) { Write(s.data(), s.size()); }
    // Direct access to the pending bytes for writers that build records in place.
    std::string& Buffer() { return buffer_; }
    void FlushIfFull() {
        if (buffer_.size() >= kFlushSize)
            Flush();
    }
    void Flush();

    // Writes what is pending, closes the file and renames it over the target.
    void Commit();

private:
    static constexpr size_t kFlushSize = 1 << 18;
    void closeTemp();
    std::string path_;
    std::string key_;
    std::string targetPath_; // the file itself, a link followed
    std::string tempPath_;
    bool staged_ = false; // tempPath_ is a staging file to be copied over the target
    std::string buffer_;
    int fd_ = -1;
    bool committed_ = false;
};

} // namespace rg
