#include "e2e/driver_registry.h"

#include <algorithm>
#include <optional>
#include <sstream>

namespace e2e {

namespace {

std::string Printed(const RegistryValue& value) {
    std::ostringstream out;
    testsupport::PrintTo(value, &out);
    return out.str();
}

// Appends the key at `path` below the service key ("" for the key itself), its values and,
// recursively, its sub-keys.
void SnapshotKey(const std::string& path, std::vector<std::string>& lines) {
    const std::string fullPath = std::string(ServiceKeyPath) + path;
    lines.push_back(KeyLine(path));
    for (const std::string& name : testsupport::ValueNames(fullPath)) {
        const std::optional<RegistryValue> value = testsupport::ReadValue(fullPath, name);
        lines.push_back(value ? ValueLine(path, name, *value) : path + "\\" + name + " = (gone)");
    }
    for (const std::string& name : testsupport::SubKeyNames(fullPath)) {
        SnapshotKey(path + "\\" + name, lines);
    }
}

} // namespace

std::string KeyLine(std::string_view path) {
    // Appended rather than "[" + path, which GCC 12 misreads as an overlapping copy.
    std::string line(1, '[');
    line.append(path).push_back(']');
    return line;
}

std::string ValueLine(std::string_view path, std::string_view name, const RegistryValue& value) {
    return std::string(path) + "\\" + std::string(name) + " = " + Printed(value);
}

void PrintTo(const RegistrySnapshot& snapshot, std::ostream* out) {
    if (snapshot.lines.empty()) {
        *out << "(no driver keys)";
    }
    for (const std::string& line : snapshot.lines) {
        *out << "\n    " << line;
    }
}

DriverRegistry::DriverRegistry() {
    // A killed run may have left the parameters key read-only; the DACL it was given still
    // lets anyone delete it.
    testsupport::DeleteKey(ServiceKeyPath);
}

DriverRegistry::~DriverRegistry() {
    testsupport::DeleteKey(ServiceKeyPath);
}

RegistrySnapshot DriverRegistry::Snapshot() const {
    RegistrySnapshot snapshot;
    if (testsupport::KeyExists(ServiceKeyPath)) {
        SnapshotKey("", snapshot.lines);
    }
    // The registry's order of values is its own business; only the content counts.
    std::sort(snapshot.lines.begin(), snapshot.lines.end());
    return snapshot;
}

} // namespace e2e
