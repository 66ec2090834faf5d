#pragma once

#include "support/registry_sandbox.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace e2e {

using testsupport::ParametersKeyPath;
using testsupport::RegistryValue;
using testsupport::ServiceKeyPath;

// Everything below the driver's service key: one line per key and per value
// ("\Parameters\StartNum0 = REG_DWORD[4] 03 00 00 00"), sorted, so two snapshots compare
// byte for byte and a difference prints readably.
struct RegistrySnapshot {
    std::vector<std::string> lines;

    friend bool operator==(const RegistrySnapshot&, const RegistrySnapshot&) = default;
};

void PrintTo(const RegistrySnapshot& snapshot, std::ostream* out);

// The lines of a snapshot; `path` is relative to the service key: "" or "\Parameters".
std::string KeyLine(std::string_view path);
std::string ValueLine(std::string_view path, std::string_view name, const RegistryValue& value);

// The driver's keys in the real HKEY_LOCAL_MACHINE of the Wine prefix, which is what
// BORVEX.EXE reads in its own process: an override of the predefined key would not reach it.
// The prefix belongs to the test build, so the tests own those keys: they are removed when
// this object is made (whatever an earlier, killed run left there) and again when it is
// destroyed, with write access given back first wherever a test took it away.
//
// Paths are relative to HKEY_LOCAL_MACHINE. A failed registry call is reported as a test
// failure naming the call, the path and the error.
class DriverRegistry {
public:
    DriverRegistry();
    ~DriverRegistry();
    DriverRegistry(const DriverRegistry&) = delete;
    DriverRegistry& operator=(const DriverRegistry&) = delete;

    // Creates the key, and any missing above it, with the prefix's default security.
    bool CreateKey(std::string_view path);
    bool KeyExists(std::string_view path) const;
    // Removes the driver's keys altogether; missing keys are no failure.
    bool RemoveAll();
    bool DeleteKey(std::string_view path);

    bool SetValue(std::string_view path, std::string_view name, DWORD type,
                  std::vector<std::uint8_t> data);
    bool SetDword(std::string_view path, std::string_view name, std::uint32_t value);
    std::optional<RegistryValue> ReadValue(std::string_view path, std::string_view name) const;

    RegistrySnapshot Snapshot() const;

    // Takes the right to set values away, as a user without administrator rights has it: a
    // protected DACL granting Everyone KEY_READ, WRITE_DAC and DELETE only, so the test can
    // give the right back (AllowWrites) and remove the key.
    bool DenyWrites(std::string_view path);
    bool AllowWrites(std::string_view path);

private:
    struct LocalFreer {
        void operator()(void* memory) const noexcept { LocalFree(memory); }
    };
    using OwnedDescriptor = std::unique_ptr<void, LocalFreer>;
    struct DeniedKey {
        std::string path;
        OwnedDescriptor formerSecurity; // from GetSecurityInfo
    };

    std::vector<DeniedKey> m_denied;
};

// The value as REG_DWORD stores it.
RegistryValue Dword(std::uint32_t value);

} // namespace e2e
