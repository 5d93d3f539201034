#pragma once

// What the harnesses share: a private scratch folder for parsers that read files, and a
// check that stops the run (a crash to libFuzzer, a failure to the replay) when a property
// of the parser does not hold.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace rgfuzz {

// A folder of this process, removed at exit; in memory where /dev/shm takes one, since
// the settings writer syncs every file it stores.
inline std::filesystem::path& scratchPath() {
    static std::filesystem::path dir;
    return dir;
}

inline const std::filesystem::path& scratchDir() {
    std::filesystem::path& dir = scratchPath();
    if (!dir.empty())
        return dir;
    const char* const bases[] = {"/dev/shm", std::getenv("TMPDIR"), "/tmp"};
    for (const char* base : bases) {
        if (!base)
            continue;
        std::string tmpl = std::string(base) + "/rg-fuzz-XXXXXX";
        if (!::mkdtemp(tmpl.data()))
            continue;
        dir = tmpl;
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(scratchPath(), ec);
        });
        return dir;
    }
    std::fputs("no scratch folder\n", stderr);
    std::abort();
}

// Replaces the file `name` of the scratch folder by `bytes` and returns its path.
inline std::string scratchFile(const char* name, std::string_view bytes) {
    const std::filesystem::path p = scratchDir() / name;
    std::ofstream(p, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return p.string();
}

inline void require(bool holds, const char* what) {
    if (holds)
        return;
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}

} // namespace rgfuzz
