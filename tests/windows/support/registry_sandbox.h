#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// The driver's keys, below HKEY_LOCAL_MACHINE.
inline constexpr std::string_view ServiceKeyPath = R"(SYSTEM\CurrentControlSet\Services\BORVEX)";
inline constexpr std::string_view ParametersKeyPath =
    R"(SYSTEM\CurrentControlSet\Services\BORVEX\Parameters)";

// A value as the registry holds it.
struct RegistryValue {
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;

    friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

// GoogleTest prints values with this: "REG_DWORD[4] 01 00 00 00".
void PrintTo(const RegistryValue& value, std::ostream* out);

class ReadOnlyKey;

// Gives this process an empty HKEY_LOCAL_MACHINE of its own: a scratch key below
// HKEY_CURRENT_USER (Software\BorvexTests\<pid>-<process start>-<n>) stands in for it until
// the sandbox is destroyed, and is then deleted with everything below it. Scratch keys of
// processes that died before cleaning up are deleted when a sandbox is made. Throws when the
// scratch key cannot be put in place, so no test ever runs against the real root.
//
// All paths are relative to HKEY_LOCAL_MACHINE. The helpers report a failed registry call as
// a test failure that names the call, the path and the error, and return false or nothing.
class RegistrySandbox {
public:
    RegistrySandbox();
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    // Below HKEY_CURRENT_USER.
    const std::string& ScratchPath() const { return m_scratchPath; }

    // Creates the key and any missing keys above it.
    bool CreateKey(std::string_view path);
    bool KeyExists(std::string_view path) const;
    // Deletes the key with its values and everything below it; a missing key is no failure.
    bool DeleteKey(std::string_view path);

    bool SetValue(std::string_view path, std::string_view name, DWORD type,
                  std::span<const std::uint8_t> data);
    bool SetDword(std::string_view path, std::string_view name, std::uint32_t value);
    // The value, or nothing when the key or the value is missing.
    std::optional<RegistryValue> ReadValue(std::string_view path, std::string_view name) const;
    bool DeleteValue(std::string_view path, std::string_view name);
    // Names of the key's values in the registry's order; empty when the key is missing.
    std::vector<std::string> ValueNames(std::string_view path) const;

    // Takes away the right to set values, as a user without administrator rights has it:
    // a protected DACL that grants Everyone KEY_READ, WRITE_DAC and DELETE only. The last
    // two let the returned object put the key's former DACL back and the sandbox delete it.
    ReadOnlyKey MakeReadOnly(std::string_view path);

private:
    std::string m_scratchPath;
};

// A key made read-only by RegistrySandbox::MakeReadOnly; its former DACL is put back when
// this object is destroyed or Restore is called. Destroy it before the sandbox.
class ReadOnlyKey {
public:
    ReadOnlyKey(ReadOnlyKey&& other) noexcept;
    ReadOnlyKey& operator=(ReadOnlyKey&&) = delete;
    ReadOnlyKey(const ReadOnlyKey&) = delete;
    ReadOnlyKey& operator=(const ReadOnlyKey&) = delete;
    ~ReadOnlyKey();

    // Puts the former DACL back; later calls do nothing.
    bool Restore();

private:
    friend class RegistrySandbox;
    ReadOnlyKey(std::string path, PSECURITY_DESCRIPTOR formerSecurity);

    std::string m_path;
    PSECURITY_DESCRIPTOR m_formerSecurity; // from GetSecurityInfo, released with LocalFree
};

} // namespace testsupport
