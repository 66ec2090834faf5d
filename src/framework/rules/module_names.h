#pragma once

#include <string>
#include <string_view>

namespace framework {

// The application's name, used as the caption of its message boxes: the module path cut at its
// last ".", then whatever follows the last "\", "/" or ":". The cut comes first, so a path whose
// only "." is in a directory name yields that directory's name ("C:\dir.v2\BORVEX" gives "dir").
// Without any "." the whole path is kept before the directory is removed.
//
// isLeadByte, when given, tells which bytes start a double-byte character in the path's code
// page; such a character is never taken for a separator or a ".", whatever its second byte.
std::string DeriveApplicationName(std::string_view modulePath, bool (*isLeadByte)(char) = nullptr);

} // namespace framework
