#include "framework/rules/module_names.h"

namespace framework {

namespace {

constexpr std::string_view HelpExtension = ".HLP";
constexpr std::string_view DirectorySeparators = "\\/:";

// The path without its last "." and what follows it; the whole path when it has no ".".
constexpr std::string_view CutAtLastDot(std::string_view path) {
    return path.substr(0, path.rfind('.'));
}

} // namespace

std::string DeriveApplicationName(std::string_view modulePath) {
    const std::string_view stem = CutAtLastDot(modulePath);
    const std::size_t separator = stem.find_last_of(DirectorySeparators);
    return std::string(separator == std::string_view::npos ? stem : stem.substr(separator + 1));
}

std::string DeriveHelpPath(std::string_view modulePath) {
    std::string helpPath(CutAtLastDot(modulePath));
    helpPath.append(HelpExtension);
    return helpPath;
}

} // namespace framework
