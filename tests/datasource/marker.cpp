// A library that announces being loaded: its constructor creates the file named by
// RG_MARKER_FILE. Tests hand its path to places that must never load code.
#include <cstdio>
#include <cstdlib>

__attribute__((constructor)) static void markLoaded() {
    if (const char* path = std::getenv("RG_MARKER_FILE"))
        if (std::FILE* f = std::fopen(path, "w"))
            std::fclose(f);
}
