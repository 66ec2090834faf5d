// Checks ParseInteger against a reference model built differently: string searches and a
// comparison of digit strings instead of a character loop with a clamped accumulator. Also
// checks that every value parsed formats to C's "%d" text and parses back to itself.

#include "framework/rules/integer_text.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace {

// The data exchange reads at most this many characters of an edit field before parsing.
constexpr std::size_t ReadLimit = 31;

std::optional<std::int32_t> ReferenceParse(std::string_view text) {
    constexpr std::string_view blanks = " \t";
    constexpr std::string_view whiteSpace = " \t\n\v\f\r";
    constexpr std::string_view digits = "0123456789";

    const std::size_t first = std::min(text.find_first_not_of(blanks), text.size());
    const bool firstIsZero = text.substr(first).starts_with('0');

    std::size_t pos = std::min(text.find_first_not_of(whiteSpace, first), text.size());
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const std::size_t digitsEnd = std::min(text.find_first_not_of(digits, pos), text.size());
    std::string_view number = text.substr(pos, digitsEnd - pos);

    std::int64_t value = 0;
    std::size_t end = first; // with no digits, nothing is consumed
    if (!number.empty()) {
        end = digitsEnd;
        number.remove_prefix(std::min(number.find_first_not_of('0'), number.size()));
        const std::string_view limit = negative ? "2147483648" : "2147483647";
        // Same-length decimal strings without leading zeros compare like their values.
        const bool tooLarge =
            number.size() > limit.size() || (number.size() == limit.size() && number > limit);
        for (const char digit : tooLarge ? limit : number) {
            value = value * 10 + (digit - '0');
        }
        if (negative) {
            value = -value;
        }
    }

    if (value == 0 && !firstIsZero) {
        return std::nullopt;
    }
    if (text.find_first_not_of(blanks, end) != std::string_view::npos) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

[[noreturn]] void Fail(const char* what, std::string_view text) {
    std::fprintf(stderr, "%s for %zu bytes:", what, text.size());
    for (const char c : text) {
        std::fprintf(stderr, " %02x", static_cast<unsigned>(static_cast<unsigned char>(c)));
    }
    std::fprintf(stderr, "\n");
    std::abort();
}

void Check(std::string_view text) {
    const std::optional<std::int32_t> got = framework::ParseInteger(text);
    const std::optional<std::int32_t> expected = ReferenceParse(text);
    if (got != expected) {
        std::fprintf(stderr, "got %s%ld, expected %s%ld\n", got ? "" : "failure ",
                     static_cast<long>(got.value_or(0)), expected ? "" : "failure ",
                     static_cast<long>(expected.value_or(0)));
        Fail("ParseInteger differs from the model", text);
    }
    if (!got) {
        return;
    }

    const std::string formatted = framework::FormatInteger(*got);
    char reference[16];
    std::snprintf(reference, sizeof reference, "%ld", static_cast<long>(*got));
    if (formatted != reference) {
        Fail("FormatInteger differs from printf", text);
    }
    if (framework::ParseInteger(formatted) != got) {
        Fail("FormatInteger does not parse back", text);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    Check(input.substr(0, ReadLimit)); // what the dialog hands over
    Check(input);                      // the parser itself takes texts of any length
    return 0;
}
