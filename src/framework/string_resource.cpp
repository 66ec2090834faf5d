#include "framework/string_resource.h"

namespace framework {

namespace {

// The string table stores sixteen counted UTF-16 strings per block; reading the block
// directly gives the real length, which LoadStringA cannot tell us.
std::wstring_view FindTableEntry(UINT id) {
    const HMODULE module = ::GetModuleHandleA(nullptr);
    const HRSRC block = ::FindResourceA(module, MAKEINTRESOURCEA((id >> 4) + 1), RT_STRING);
    if (block == nullptr) {
        return {};
    }
    const HGLOBAL loaded = ::LoadResource(module, block);
    const auto* entry = static_cast<const WCHAR*>(::LockResource(loaded));
    if (entry == nullptr) {
        return {};
    }
    for (UINT index = id & 0x0F; index > 0; --index) {
        entry += 1 + *entry;
    }
    return {reinterpret_cast<const wchar_t*>(entry + 1), static_cast<std::size_t>(*entry)};
}

} // namespace

std::string LoadStringResource(UINT id, std::size_t maxChars) {
    const std::wstring_view entry = FindTableEntry(id);
    if (entry.empty()) {
        return {};
    }
    const int wideLength = static_cast<int>(entry.size());
    const int length =
        ::WideCharToMultiByte(CP_ACP, 0, entry.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, entry.data(), wideLength, text.data(), length, nullptr,
                          nullptr);
    if (text.size() > maxChars) {
        text.resize(maxChars);
    }
    return text;
}

std::string LoadStringResource(UINT id) {
    return LoadStringResource(id, std::string::npos);
}

bool IsAnsiLeadByte(char byte) {
    return ::IsDBCSLeadByte(static_cast<BYTE>(byte)) != FALSE;
}

} // namespace framework
