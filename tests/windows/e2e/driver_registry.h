#pragma once

#include "support/registry_keys.h"

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
// destroyed. Tests change them with the helpers of support/registry_keys.h; a key a test made
// read-only must have its write access back (its ReadOnlyKey gone) before this object goes.
class DriverRegistry {
public:
    DriverRegistry();
    ~DriverRegistry();
    DriverRegistry(const DriverRegistry&) = delete;
    DriverRegistry& operator=(const DriverRegistry&) = delete;

    RegistrySnapshot Snapshot() const;
};

} // namespace e2e
