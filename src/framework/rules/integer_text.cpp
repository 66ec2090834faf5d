#include "framework/rules/integer_text.h"

#include <array>
#include <charconv>

namespace framework {

namespace {

// Our own character classes: the C library's depend on the locale, and these rules must not.
constexpr bool IsBlankOrTab(char c) {
    return c == ' ' || c == '\t';
}

constexpr bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Largest magnitudes a 32-bit result can take, by sign.
constexpr std::uint32_t MaxPositiveMagnitude = 2147483647u;
constexpr std::uint32_t MaxNegativeMagnitude = 2147483648u;

struct Conversion {
    std::int32_t value;
    std::size_t end; // index just past the last character consumed
};

// Decimal conversion as the C library does it in the "C" locale: white space, one optional
// sign, then digits, with the magnitude clamped to the 32-bit range while the remaining digits
// are still consumed. Without a digit nothing at all is consumed and the value is 0.
Conversion ConvertDecimal(std::string_view text, std::size_t start) {
    std::size_t pos = start;
    while (pos < text.size() && IsWhiteSpace(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    if (pos == text.size() || !IsDigit(text[pos])) {
        return {0, start};
    }

    // The test below keeps magnitude * 10 + digit within limit without ever computing a value
    // beyond it, so the unsigned accumulator cannot wrap however many digits follow.
    const std::uint32_t limit = negative ? MaxNegativeMagnitude : MaxPositiveMagnitude;
    std::uint32_t magnitude = 0;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
        const auto digit = static_cast<std::uint32_t>(text[pos] - '0');
        magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
    }

    // Negate in 64 bits: the magnitude 2147483648 has no positive 32-bit counterpart.
    const std::int64_t signedValue =
        negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    return {static_cast<std::int32_t>(signedValue), pos};
}

} // namespace

std::optional<std::int32_t> ParseInteger(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsBlankOrTab(text[pos])) {
        ++pos;
    }

    // A zero result is only trusted when the text really starts with the digit 0; the
    // conversion also yields 0 for "no number at all", and for "+0" or "-0", which we refuse.
    const bool startsWithZeroDigit = pos < text.size() && text[pos] == '0';
    const Conversion conversion = ConvertDecimal(text, pos);
    if (conversion.value == 0 && !startsWithZeroDigit) {
        return std::nullopt;
    }

    pos = conversion.end;
    while (pos < text.size() && IsBlankOrTab(text[pos])) {
        ++pos;
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    return conversion.value;
}

std::string FormatInteger(std::int32_t value) {
    std::array<char, IntegerTextCapacity> buffer{};
    // Cannot fail: every 32-bit value fits, and to_chars writes neither "+" nor padding.
    const std::to_chars_result result =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

} // namespace framework
