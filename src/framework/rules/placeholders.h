#pragma once

#include <string>
#include <string_view>

namespace framework {

// Copies a message template, replacing each "%1" by first and each "%2" by second. Everything
// else is copied unchanged, including a "%" followed by any other character. The inserted texts
// are not scanned again, so a "%2" inside first stays as it is.
//
// isLeadByte, when given, tells which bytes start a double-byte character in the template's
// code page. Such a byte is copied together with the byte after it, so a trail byte that happens
// to equal "%" is never taken for the start of a placeholder.
std::string ReplacePlaceholders(std::string_view templ, std::string_view first,
                                std::string_view second, bool (*isLeadByte)(char) = nullptr);

} // namespace framework
