#pragma once

#include <windows.h>

#include <utility>

namespace params {

// Owns an open registry key and closes it when it goes out of scope, so an early return can
// never leak the handle. Empty when the key could not be opened.
class RegistryKey {
public:
    RegistryKey() = default;
    explicit RegistryKey(HKEY key) noexcept : m_hKey(key) {}
    RegistryKey(RegistryKey&& other) noexcept : m_hKey(std::exchange(other.m_hKey, nullptr)) {}
    RegistryKey& operator=(RegistryKey&&) = delete; // a key is opened into its owner, never swapped
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() {
        if (m_hKey != nullptr) {
            RegCloseKey(m_hKey);
        }
    }

    HKEY Get() const noexcept { return m_hKey; }
    bool IsOpen() const noexcept { return m_hKey != nullptr; }

private:
    HKEY m_hKey = nullptr;
};

} // namespace params
