#include "export/exportregistry.h"

#include "export/exportname.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace rg {
namespace {

std::string typedExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string e = path.substr(dot + 1);
    std::transform(e.begin(), e.end(), e.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return e;
}

} // namespace

void ExportRegistry::add(ExportFormat f) {
    if (find(f.name))
        throw std::logic_error("export format registered twice: " + f.name);
    formats_.push_back(std::move(f));
}

void ExportRegistry::addCommand(ExportCommand id, std::vector<std::string> names,
                                std::string unnamed) {
    for (const std::string& n : names)
        format(n);
    format(unnamed);
    commands_.push_back({id, std::move(names), std::move(unnamed)});
}

const ExportFormat* ExportRegistry::find(std::string_view name) const {
    for (const ExportFormat& f : formats_)
        if (f.name == name)
            return &f;
    return nullptr;
}

const ExportFormat& ExportRegistry::format(const std::string& name) const {
    if (const ExportFormat* f = find(name))
        return *f;
    throw std::logic_error("export format not registered: " + name);
}

const ExportRegistry::Command& ExportRegistry::command(ExportCommand id) const {
    for (const Command& c : commands_)
        if (c.id == id)
            return c;
    throw std::logic_error("export command not registered");
}

std::string ExportRegistry::nameList() const {
    std::string list;
    for (size_t i = 0; i < formats_.size(); ++i)
        list += (i == 0 ? "" : i + 1 == formats_.size() ? " or " : ", ") + formats_[i].name;
    return list;
}

std::string ExportRegistry::dialogFilter(ExportCommand id) const {
    std::string filter;
    for (const std::string& name : command(id).formats) {
        const ExportFormat& f = format(name);
        filter += (filter.empty() ? "" : "|") + f.dialogText + "|*." + f.extensions.front();
    }
    return filter;
}

ExportTarget ExportRegistry::target(ExportCommand id, const std::string& chosenName,
                                    int filterIndex) const {
    const Command& c = command(id);
    const std::string typed = typedExtension(chosenName);
    for (const std::string& name : c.formats) {
        const ExportFormat& f = format(name);
        if (std::find(f.extensions.begin(), f.extensions.end(), typed) != f.extensions.end())
            return {chosenName, &f};
    }
    const bool named = filterIndex >= 0 && static_cast<size_t>(filterIndex) < c.formats.size();
    const ExportFormat& f = format(named ? c.formats[static_cast<size_t>(filterIndex)] : c.unnamed);
    return {WithDefaultExtension(chosenName, f.extensions.front()), &f};
}

} // namespace rg
