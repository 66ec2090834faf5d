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
    RegistryKey& operator=(RegistryKey&& other) noexcept {
        if (this != &other) {
            Close();
            m_hKey = std::exchange(other.m_hKey, nullptr);
        }
        return *this;
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() { Close(); }

    HKEY Get() const noexcept { return m_hKey; }
    bool IsOpen() const noexcept { return m_hKey != nullptr; }

private:
    void Close() noexcept {
        if (m_hKey != nullptr) {
            RegCloseKey(m_hKey);
        }
    }

    HKEY m_hKey = nullptr;
};

} // namespace params
