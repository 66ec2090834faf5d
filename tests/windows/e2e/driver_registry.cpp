#include "e2e/driver_registry.h"

#include <aclapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <type_traits>
#include <utility>

namespace e2e {

namespace {

struct KeyCloser {
    void operator()(HKEY key) const noexcept { RegCloseKey(key); }
};
using OwnedKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

void ReportFailure(const char* call, std::string_view path, LSTATUS error) {
    ADD_FAILURE() << call << "(\"" << path << "\") failed with error " << error;
}

// Null when the key is missing; any other failure is reported.
OwnedKey OpenKey(std::string_view path, REGSAM access) {
    HKEY key = nullptr;
    const LSTATUS error =
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, std::string(path).c_str(), 0, access, &key);
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) {
        ReportFailure("RegOpenKeyExA", path, error);
    }
    return OwnedKey(error == ERROR_SUCCESS ? key : nullptr);
}

std::string Printed(const RegistryValue& value) {
    std::ostringstream out;
    testsupport::PrintTo(value, &out);
    return out.str();
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

namespace {

// Appends `path` (relative to the service key, "" for the key itself), its values and,
// recursively, its sub-keys.
void SnapshotKey(HKEY key, const std::string& path, std::vector<std::string>& lines) {
    lines.push_back(KeyLine(path));
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = sizeof name;
        DWORD type = REG_NONE;
        DWORD size = 0;
        if (RegEnumValueA(key, index, name, &nameLength, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS) {
            break;
        }
        RegistryValue value{type, std::vector<std::uint8_t>(size)};
        const std::string valueName(name, nameLength);
        DWORD read = size;
        if (RegQueryValueExA(key, valueName.c_str(), nullptr, &value.type, value.data.data(),
                             &read) != ERROR_SUCCESS) {
            lines.push_back(path + "\\" + valueName + " = (unreadable)");
            continue;
        }
        value.data.resize(read);
        lines.push_back(ValueLine(path, valueName, value));
    }
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = sizeof name;
        if (RegEnumKeyExA(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        const std::string subKeyName(name, nameLength);
        HKEY subKey = nullptr;
        if (RegOpenKeyExA(key, subKeyName.c_str(), 0, KEY_READ, &subKey) != ERROR_SUCCESS) {
            lines.push_back("[" + path + "\\" + subKeyName + "] (unreadable)");
            continue;
        }
        const OwnedKey owned(subKey);
        SnapshotKey(subKey, path + "\\" + subKeyName, lines);
    }
}

// A protected DACL that lets Everyone read the key, change its DACL and delete it.
bool SetReadOnlyDacl(HKEY key, std::string_view path) {
    DWORD everyone[SECURITY_MAX_SID_SIZE / sizeof(DWORD)];
    DWORD sidSize = sizeof everyone;
    DWORD acl[(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE) / sizeof(DWORD)];
    if (!CreateWellKnownSid(WinWorldSid, nullptr, everyone, &sidSize) ||
        !InitializeAcl(reinterpret_cast<PACL>(acl), sizeof acl, ACL_REVISION) ||
        !AddAccessAllowedAce(reinterpret_cast<PACL>(acl), ACL_REVISION,
                             KEY_READ | WRITE_DAC | DELETE, everyone)) {
        ReportFailure("building the read-only DACL for", path,
                      static_cast<LSTATUS>(GetLastError()));
        return false;
    }
    const DWORD error = SetSecurityInfo(
        key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
        nullptr, nullptr, reinterpret_cast<PACL>(acl), nullptr);
    if (error != ERROR_SUCCESS) {
        ReportFailure("SetSecurityInfo", path, static_cast<LSTATUS>(error));
        return false;
    }
    return true;
}

// Puts back the DACL that GetSecurityInfo returned before the key was made read-only.
bool RestoreDacl(std::string_view path, PSECURITY_DESCRIPTOR former) {
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorDacl(former, &present, &dacl, &defaulted);
    GetSecurityDescriptorControl(former, &control, &revision);
    const SECURITY_INFORMATION protection = (control & SE_DACL_PROTECTED) != 0
                                                ? PROTECTED_DACL_SECURITY_INFORMATION
                                                : UNPROTECTED_DACL_SECURITY_INFORMATION;
    const OwnedKey key = OpenKey(path, WRITE_DAC);
    if (key == nullptr) {
        return false;
    }
    const DWORD error =
        SetSecurityInfo(key.get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION | protection, nullptr,
                        nullptr, present ? dacl : nullptr, nullptr);
    if (error != ERROR_SUCCESS) {
        ReportFailure("SetSecurityInfo", path, static_cast<LSTATUS>(error));
        return false;
    }
    return true;
}

} // namespace

void PrintTo(const RegistrySnapshot& snapshot, std::ostream* out) {
    if (snapshot.lines.empty()) {
        *out << "(no driver keys)";
    }
    for (const std::string& line : snapshot.lines) {
        *out << "\n    " << line;
    }
}

RegistryValue Dword(std::uint32_t value) {
    return {REG_DWORD,
            {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
             static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)}};
}

DriverRegistry::DriverRegistry() {
    // A killed run may have left the parameters key read-only; the DACL it was given still
    // lets anyone delete it.
    RemoveAll();
}

DriverRegistry::~DriverRegistry() {
    while (!m_denied.empty()) {
        AllowWrites(m_denied.back().path);
    }
    RemoveAll();
}

bool DriverRegistry::CreateKey(std::string_view path) {
    HKEY key = nullptr;
    const LSTATUS error =
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, std::string(path).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (error != ERROR_SUCCESS) {
        ReportFailure("RegCreateKeyExA", path, error);
        return false;
    }
    RegCloseKey(key);
    return true;
}

bool DriverRegistry::KeyExists(std::string_view path) const {
    return OpenKey(path, KEY_QUERY_VALUE) != nullptr;
}

bool DriverRegistry::RemoveAll() {
    return DeleteKey(ServiceKeyPath);
}

bool DriverRegistry::DeleteKey(std::string_view path) {
    const LSTATUS error = RegDeleteTreeA(HKEY_LOCAL_MACHINE, std::string(path).c_str());
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) {
        ReportFailure("RegDeleteTreeA", path, error);
        return false;
    }
    return true;
}

bool DriverRegistry::SetValue(std::string_view path, std::string_view name, DWORD type,
                              std::vector<std::uint8_t> data) {
    HKEY key = nullptr;
    LSTATUS error = RegCreateKeyExA(HKEY_LOCAL_MACHINE, std::string(path).c_str(), 0, nullptr,
                                    REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (error != ERROR_SUCCESS) {
        ReportFailure("RegCreateKeyExA", path, error);
        return false;
    }
    const OwnedKey owned(key);
    error = RegSetValueExA(key, std::string(name).c_str(), 0, type, data.data(),
                           static_cast<DWORD>(data.size()));
    if (error != ERROR_SUCCESS) {
        ReportFailure("RegSetValueExA", std::string(path) + '\\' + std::string(name), error);
        return false;
    }
    return true;
}

bool DriverRegistry::SetDword(std::string_view path, std::string_view name, std::uint32_t value) {
    return SetValue(path, name, REG_DWORD, Dword(value).data);
}

std::optional<RegistryValue> DriverRegistry::ReadValue(std::string_view path,
                                                       std::string_view name) const {
    const OwnedKey key = OpenKey(path, KEY_QUERY_VALUE);
    if (key == nullptr) {
        return std::nullopt;
    }
    const std::string valueName(name);
    RegistryValue value;
    DWORD size = 0;
    LSTATUS error =
        RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &value.type, nullptr, &size);
    if (error == ERROR_SUCCESS) {
        value.data.resize(size);
        error = RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &value.type,
                                 value.data.data(), &size);
        value.data.resize(size);
    }
    if (error != ERROR_SUCCESS) {
        if (error != ERROR_FILE_NOT_FOUND) {
            ReportFailure("RegQueryValueExA", std::string(path) + '\\' + valueName, error);
        }
        return std::nullopt;
    }
    return value;
}

RegistrySnapshot DriverRegistry::Snapshot() const {
    RegistrySnapshot snapshot;
    const OwnedKey service = OpenKey(ServiceKeyPath, KEY_READ);
    if (service != nullptr) {
        SnapshotKey(service.get(), "", snapshot.lines);
    }
    // The registry's order of values is its own business; only the content counts.
    std::sort(snapshot.lines.begin(), snapshot.lines.end());
    return snapshot;
}

bool DriverRegistry::DenyWrites(std::string_view path) {
    const OwnedKey key = OpenKey(path, READ_CONTROL | WRITE_DAC);
    if (key == nullptr) {
        ADD_FAILURE() << "cannot make " << path << " read-only: the key is missing";
        return false;
    }
    PSECURITY_DESCRIPTOR former = nullptr;
    const DWORD error = GetSecurityInfo(key.get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION,
                                        nullptr, nullptr, nullptr, nullptr, &former);
    if (error != ERROR_SUCCESS) {
        ReportFailure("GetSecurityInfo", path, static_cast<LSTATUS>(error));
        return false;
    }
    m_denied.push_back({std::string(path), OwnedDescriptor(former)});
    return SetReadOnlyDacl(key.get(), path);
}

bool DriverRegistry::AllowWrites(std::string_view path) {
    for (auto denied = m_denied.begin(); denied != m_denied.end(); ++denied) {
        if (denied->path == path) {
            const DeniedKey taken = std::move(*denied);
            m_denied.erase(denied);
            return RestoreDacl(taken.path, taken.formerSecurity.get());
        }
    }
    ADD_FAILURE() << "AllowWrites(\"" << path << "\"): writes to it were not denied";
    return false;
}

} // namespace e2e
