#include "export/exportname.h"

namespace rg {

std::string WithDefaultExtension(const std::string& chosen, const std::string& extension) {
    const size_t slash = chosen.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (chosen.find('.', nameStart) != std::string::npos)
        return chosen;
    std::string path = chosen;
    while (path.size() > nameStart && static_cast<unsigned char>(path.back()) <= 0x20)
        path.pop_back();
    return path + "." + extension;
}

} // namespace rg
