#include "framework/rules/placeholders.h"

namespace framework {

std::string ReplacePlaceholders(std::string_view templ, std::string_view first,
                                std::string_view second, bool (*isLeadByte)(char)) {
    std::string result;
    result.reserve(templ.size() + first.size() + second.size());

    std::size_t pos = 0;
    while (pos < templ.size()) {
        const char c = templ[pos];
        // Double-byte characters first: their second byte may be any value, "%" included.
        if (isLeadByte != nullptr && isLeadByte(c)) {
            // A lead byte at the very end has no partner; copy it alone rather than read past.
            const std::size_t length = pos + 1 < templ.size() ? 2 : 1;
            result.append(templ.substr(pos, length));
            pos += length;
            continue;
        }
        if (c == '%' && pos + 1 < templ.size() &&
            (templ[pos + 1] == '1' || templ[pos + 1] == '2')) {
            result.append(templ[pos + 1] == '1' ? first : second);
            pos += 2;
            continue;
        }
        result.push_back(c);
        ++pos;
    }
    return result;
}

} // namespace framework
