#include "framework/rules/module_names.h"

namespace framework {

namespace {

constexpr std::string_view DirectorySeparators = "\\/:";

// Where the last of `characters` stands in `text`, walked character by character: the second
// byte of a double-byte character may equal "\" (0x5C) and is never taken for one.
std::size_t FindLastOf(std::string_view text, std::string_view characters,
                       bool (*isLeadByte)(char)) {
    std::size_t found = std::string_view::npos;
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
        if (isLeadByte != nullptr && isLeadByte(text[pos])) {
            ++pos; // its partner, if any
        } else if (characters.find(text[pos]) != std::string_view::npos) {
            found = pos;
        }
    }
    return found;
}

// The path without its last "." and what follows it; the whole path when it has no ".".
std::string_view CutAtLastDot(std::string_view path, bool (*isLeadByte)(char)) {
    return path.substr(0, FindLastOf(path, ".", isLeadByte));
}

} // namespace

std::string DeriveApplicationName(std::string_view modulePath, bool (*isLeadByte)(char)) {
    const std::string_view stem = CutAtLastDot(modulePath, isLeadByte);
    const std::size_t separator = FindLastOf(stem, DirectorySeparators, isLeadByte);
    return std::string(separator == std::string_view::npos ? stem : stem.substr(separator + 1));
}

} // namespace framework
