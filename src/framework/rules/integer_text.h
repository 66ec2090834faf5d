#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace framework {

// Reads a signed decimal integer as typed into an integer edit field.
//
// Blanks and tabs may surround the number. Between those leading blanks and the sign, any
// white space is passed over. Leading zeros do not mean octal and "0x" has no meaning. A
// number too large for 32 bits is clamped to INT32_MAX or INT32_MIN rather than rejected, so
// that the range check, not the parser, tells the user about it. A result of 0 counts only when
// the text (after blanks and tabs) starts with the digit 0: "+0", "-0" and texts without
// digits are rejected.
//
// The view is the whole text; its end is the end of the text. Callers pass what they read from
// a control, up to (not including) its terminator.
std::optional<std::int32_t> ParseInteger(std::string_view text);

// The value's decimal digits, preceded by "-" when it is negative: no plus sign, no leading
// zeros, no separators. At most IntegerTextCapacity characters.
std::string FormatInteger(std::int32_t value);

// Longest text FormatInteger returns: "-2147483648".
inline constexpr std::size_t IntegerTextCapacity = 11;

} // namespace framework
