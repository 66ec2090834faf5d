#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace framework {

// The text of string-table entry `id` of the program's module, at most `maxChars`
// characters; empty when there is no such entry.
std::string LoadStringResource(UINT id, std::size_t maxChars);

// The whole text of string-table entry `id`, whatever its length.
std::string LoadStringResource(UINT id);

// Whether `byte` starts a double-byte character in the ANSI code page, in which the program's
// texts and its module path come: the second byte may look like "%" or "\".
bool IsAnsiLeadByte(char byte);

} // namespace framework
