#include "harness/registry.h"

#include "harness/failure.h"

#include <sddl.h>

#include <algorithm>
#include <iomanip>
#include <sstream>
#include <utility>

namespace testsupport {

namespace {

std::string ValuePath(std::string_view path, std::string_view name) {
    return std::string(path) + '\\' + std::string(name);
}

// Values are written and read through the wide calls, which move their data unconverted: the
// ANSI ones would pass string data through the code page. The names here are ASCII.
std::wstring WideName(std::string_view name) {
    return {name.begin(), name.end()};
}

// Null when the key is missing; any other failure is reported.
OwnedKey OpenKey(std::string_view path, REGSAM access) {
    HKEY key = nullptr;
    const LSTATUS error =
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, std::string(path).c_str(), 0, access, &key);
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) {
        ReportRegistryFailure("RegOpenKeyExA", path, error);
    }
    return OwnedKey(error == ERROR_SUCCESS ? key : nullptr);
}

OwnedKey CreateKeyForValues(std::string_view path) {
    HKEY key = nullptr;
    const LSTATUS error =
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, std::string(path).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (error != ERROR_SUCCESS) {
        ReportRegistryFailure("RegCreateKeyExA", path, error);
        return nullptr;
    }
    return OwnedKey(key);
}

// The names RegEnumValueA or RegEnumKeyExA give for the key, up to the first failure, which
// is reported unless it is the end of the list.
template <class Enumerate>
std::vector<std::string> Names(std::string_view path, const char* call, Enumerate enumerate) {
    std::vector<std::string> names;
    const OwnedKey key = OpenKey(path, KEY_READ);
    if (key == nullptr) {
        return names;
    }
    // Room for the longest value name the registry allows (key names are shorter).
    std::string name(16384, '\0');
    LSTATUS error = ERROR_SUCCESS;
    for (DWORD index = 0; error == ERROR_SUCCESS; ++index) {
        auto length = static_cast<DWORD>(name.size());
        error = enumerate(key.get(), index, name.data(), &length);
        if (error == ERROR_SUCCESS) {
            names.emplace_back(name.data(), length);
        }
    }
    if (error != ERROR_NO_MORE_ITEMS) {
        ReportRegistryFailure(call, path, error);
    }
    return names;
}

std::vector<std::string> SubKeyNames(std::string_view path) {
    return Names(path, "RegEnumKeyExA", [](HKEY key, DWORD index, char* name, DWORD* length) {
        return RegEnumKeyExA(key, index, name, length, nullptr, nullptr, nullptr, nullptr);
    });
}

constexpr std::pair<DWORD, const char*> TypeNames[] = {
    {REG_NONE, "REG_NONE"},           {REG_SZ, "REG_SZ"},
    {REG_EXPAND_SZ, "REG_EXPAND_SZ"}, {REG_BINARY, "REG_BINARY"},
    {REG_DWORD, "REG_DWORD"},         {REG_DWORD_BIG_ENDIAN, "REG_DWORD_BIG_ENDIAN"},
    {REG_LINK, "REG_LINK"},           {REG_MULTI_SZ, "REG_MULTI_SZ"},
    {REG_QWORD, "REG_QWORD"},
};

std::string SnapshotLine(std::string_view path, std::string_view name, const RegistryValue* value) {
    if (value == nullptr) {
        return '[' + std::string(path) + ']';
    }
    std::ostringstream line;
    line << ValuePath(path, name) << " = ";
    PrintTo(*value, &line);
    return line.str();
}

// Appends the key, its values and, recursively, its sub-keys.
void SnapshotKey(const std::string& path, std::vector<std::string>& lines) {
    lines.push_back(SnapshotLine(path, {}, nullptr));
    for (const std::string& name : ValueNames(path)) {
        const std::optional<RegistryValue> value = ReadValue(path, name);
        lines.push_back(value ? SnapshotLine(path, name, &*value)
                              : ValuePath(path, name) + " gone");
    }
    for (const std::string& name : SubKeyNames(path)) {
        SnapshotKey(ValuePath(path, name), lines);
    }
}

// What the driver's keys hold, key by key (without a value) and value by value, in the order
// they must be made.
struct DriverEntry {
    std::string_view path;
    std::string_view name;
    const RegistryValue* value;
};

std::vector<DriverEntry> Entries(const DriverKeys& keys) {
    std::vector<DriverEntry> entries;
    if (!keys.serviceKey) {
        return entries; // the parameters key cannot exist without it
    }
    entries.push_back({ServiceKeyPath, {}, nullptr});
    if (keys.maxAdapter) {
        entries.push_back({ServiceKeyPath, "MaxAdapter", &*keys.maxAdapter});
    }
    if (keys.parametersKey) {
        entries.push_back({ParametersKeyPath, {}, nullptr});
        for (const auto& [name, value] :
             {std::pair{"StartNum0", &keys.startNum}, std::pair{"ExtMode0", &keys.extMode0},
              std::pair{"ExtMode1", &keys.extMode1}}) {
            if (*value) {
                entries.push_back({ParametersKeyPath, name, &**value});
            }
        }
    }
    return entries;
}

} // namespace

void ReportRegistryFailure(const char* call, std::string_view path, LSTATUS error) {
    ReportFailure(std::string(call) + "(\"" + std::string(path) + "\") failed with error " +
                  std::to_string(error));
}

void PrintTo(const RegistryValue& value, std::ostream* out) {
    const auto* known =
        std::ranges::find(TypeNames, value.type, &std::pair<DWORD, const char*>::first);
    if (known != std::end(TypeNames)) {
        *out << known->second;
    } else {
        *out << "type " << value.type;
    }
    *out << '[' << value.data.size() << ']' << std::hex << std::setfill('0');
    for (const std::uint8_t byte : value.data) {
        *out << ' ' << std::setw(2) << unsigned{byte};
    }
    *out << std::dec << std::setfill(' ');
}

RegistryValue Dword(std::uint32_t value) {
    return {REG_DWORD,
            {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
             static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)}};
}

bool CreateKey(std::string_view path) {
    return CreateKeyForValues(path) != nullptr;
}

bool KeyExists(std::string_view path) {
    return OpenKey(path, KEY_QUERY_VALUE) != nullptr;
}

bool DeleteKey(std::string_view path) {
    const LSTATUS error = RegDeleteTreeA(HKEY_LOCAL_MACHINE, std::string(path).c_str());
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) {
        ReportRegistryFailure("RegDeleteTreeA", path, error);
        return false;
    }
    return true;
}

bool SetValue(std::string_view path, std::string_view name, DWORD type,
              std::span<const std::uint8_t> data) {
    const OwnedKey key = CreateKeyForValues(path);
    if (key == nullptr) {
        return false;
    }
    const BYTE none = 0; // an empty value still needs a buffer on some versions
    const LSTATUS error =
        RegSetValueExW(key.get(), WideName(name).c_str(), 0, type,
                       data.empty() ? &none : data.data(), static_cast<DWORD>(data.size()));
    if (error != ERROR_SUCCESS) {
        ReportRegistryFailure("RegSetValueExW", ValuePath(path, name), error);
        return false;
    }
    return true;
}

bool SetDword(std::string_view path, std::string_view name, std::uint32_t value) {
    return SetValue(path, name, REG_DWORD, Dword(value).data);
}

std::optional<RegistryValue> ReadValue(std::string_view path, std::string_view name) {
    const OwnedKey key = OpenKey(path, KEY_QUERY_VALUE);
    if (key == nullptr) {
        return std::nullopt;
    }
    const std::wstring valueName = WideName(name);
    RegistryValue value;
    DWORD size = 0;
    LSTATUS error =
        RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &value.type, nullptr, &size);
    if (error == ERROR_SUCCESS) {
        value.data.resize(size);
        error = RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &value.type,
                                 value.data.data(), &size);
        value.data.resize(size);
    }
    if (error != ERROR_SUCCESS) {
        if (error != ERROR_FILE_NOT_FOUND) {
            ReportRegistryFailure("RegQueryValueExW", ValuePath(path, name), error);
        }
        return std::nullopt;
    }
    return value;
}

std::vector<std::string> ValueNames(std::string_view path) {
    return Names(path, "RegEnumValueA", [](HKEY key, DWORD index, char* name, DWORD* length) {
        return RegEnumValueA(key, index, name, length, nullptr, nullptr, nullptr, nullptr);
    });
}

bool Install(const DriverKeys& keys) {
    bool installed = DeleteKey(ServiceKeyPath);
    for (const DriverEntry& entry : Entries(keys)) {
        installed = (entry.value != nullptr
                         ? SetValue(entry.path, entry.name, entry.value->type, entry.value->data)
                         : CreateKey(entry.path)) &&
                    installed;
    }
    return installed;
}

std::vector<std::string> DriverKeysSnapshot() {
    std::vector<std::string> lines;
    if (KeyExists(ServiceKeyPath)) {
        SnapshotKey(std::string(ServiceKeyPath), lines);
    }
    // The registry's order of values is its own business; only the content counts.
    std::ranges::sort(lines);
    return lines;
}

std::vector<std::string> SnapshotOf(const DriverKeys& keys) {
    std::vector<std::string> lines;
    for (const DriverEntry& entry : Entries(keys)) {
        lines.push_back(SnapshotLine(entry.path, entry.name, entry.value));
    }
    std::ranges::sort(lines);
    return lines;
}

ReadOnlyKey::ReadOnlyKey(std::string_view path) : m_path(path) {
    const OwnedKey key = OpenKey(path, READ_CONTROL | WRITE_DAC);
    if (key == nullptr) {
        ReportFailure("cannot make " + m_path + " read-only: the key is missing");
        return;
    }
    std::vector<std::uint8_t> former(4096);
    auto size = static_cast<DWORD>(former.size());
    LSTATUS error = RegGetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, former.data(), &size);
    if (error != ERROR_SUCCESS) {
        ReportRegistryFailure("RegGetKeySecurity", path, error);
        return;
    }
    // Everyone: KEY_READ (KR), WRITE_DAC (WD) and DELETE (SD); "P" keeps inherited rights out.
    PSECURITY_DESCRIPTOR readOnly = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
            "D:P(A;;KRWDSD;;;WD)", SDDL_REVISION_1, &readOnly, nullptr)) {
        ReportRegistryFailure("ConvertStringSecurityDescriptorToSecurityDescriptorA", path,
                              static_cast<LSTATUS>(GetLastError()));
        return;
    }
    error = RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, readOnly);
    LocalFree(readOnly);
    if (error != ERROR_SUCCESS) {
        ReportRegistryFailure("RegSetKeySecurity", path, error);
        return;
    }
    former.resize(size);
    m_formerSecurity = std::move(former);
}

bool ReadOnlyKey::Restore() {
    if (m_formerSecurity.empty()) {
        return true;
    }
    std::vector<std::uint8_t> former = std::exchange(m_formerSecurity, {});
    const OwnedKey key = OpenKey(m_path, WRITE_DAC);
    if (key == nullptr) {
        return false;
    }
    const LSTATUS error = RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, former.data());
    if (error != ERROR_SUCCESS) {
        ReportRegistryFailure("RegSetKeySecurity", m_path, error);
        return false;
    }
    return true;
}

} // namespace testsupport
