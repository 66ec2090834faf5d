#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

// Registry helpers. Every path is relative to HKEY_LOCAL_MACHINE, whatever that stands for in
// this process: a RegistrySandbox's scratch key, or the Wine prefix's real root for the tests and
// the benchmark that start the utility in a process of its own. A failed registry call is
// reported (ReportFailure) naming the call, the path and the error; the helper then returns false
// or nothing. A missing key or value is no failure where the helper says so.
namespace testsupport {

struct KeyCloser {
    void operator()(HKEY key) const noexcept { RegCloseKey(key); }
};
using OwnedKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

void ReportRegistryFailure(const char* call, std::string_view path, LSTATUS error);

// The driver's keys.
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

// The value as REG_DWORD stores it.
RegistryValue Dword(std::uint32_t value);

// Creates the key and any missing keys above it, with the default security.
bool CreateKey(std::string_view path);
bool KeyExists(std::string_view path);
// Deletes the key with its values and everything below it; a missing key is no failure.
bool DeleteKey(std::string_view path);

// Creates the key first when it is missing.
bool SetValue(std::string_view path, std::string_view name, DWORD type,
              std::span<const std::uint8_t> data);
bool SetDword(std::string_view path, std::string_view name, std::uint32_t value);
// The value, or nothing when the key or the value is missing.
std::optional<RegistryValue> ReadValue(std::string_view path, std::string_view name);
// Names of the key's values, in the registry's order; empty when the key is missing.
std::vector<std::string> ValueNames(std::string_view path);

// What the driver's keys hold; a missing optional is a missing value. The defaults are a
// complete installation: two adapters, first port COM3, extended mode off on adapter 1 and on on
// adapter 2.
struct DriverKeys {
    bool serviceKey = true;
    bool parametersKey = true;
    std::optional<RegistryValue> maxAdapter = Dword(2);
    std::optional<RegistryValue> startNum = Dword(3);
    std::optional<RegistryValue> extMode0 = Dword(0);
    std::optional<RegistryValue> extMode1 = Dword(1);
};

// Replaces everything below the service key with `keys`.
bool Install(const DriverKeys& keys);
// Everything below the service key, one line per key and per value
// ("SYSTEM\...\Parameters\StartNum0 = REG_DWORD[4] 03 00 00 00"), sorted, so two snapshots
// compare byte for byte and a difference prints readably.
std::vector<std::string> DriverKeysSnapshot();
// The snapshot that Install(keys) leaves.
std::vector<std::string> SnapshotOf(const DriverKeys& keys);

// Takes away the right to set values while it exists, as a user without administrator rights
// has it: a protected DACL that grants Everyone KEY_READ, WRITE_DAC and DELETE only. The last
// two let this object put the key's former DACL back, and anyone delete the key, even after a
// run that was killed before it could. Inside a RegistrySandbox, destroy it before the sandbox.
class ReadOnlyKey {
public:
    explicit ReadOnlyKey(std::string_view path);
    ~ReadOnlyKey() { Restore(); }
    ReadOnlyKey(const ReadOnlyKey&) = delete;
    ReadOnlyKey& operator=(const ReadOnlyKey&) = delete;

    // Whether the key is read-only now, through this object.
    bool IsReadOnly() const { return !m_formerSecurity.empty(); }
    // Puts the former DACL back; later calls do nothing.
    bool Restore();

private:
    std::string m_path;
    std::vector<std::uint8_t> m_formerSecurity; // self-relative, from RegGetKeySecurity
};

} // namespace testsupport
