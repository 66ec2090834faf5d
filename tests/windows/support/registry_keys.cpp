#include "support/registry_keys.h"

#include <aclapi.h>

#include <gtest/gtest.h>

#include <iomanip>
#include <type_traits>
#include <utility>

namespace testsupport {

namespace {

struct KeyCloser {
    void operator()(HKEY key) const noexcept { RegCloseKey(key); }
};
using OwnedKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

void ReportFailure(const char* call, std::string_view path, LSTATUS error) {
    ADD_FAILURE() << call << "(\"" << path << "\") failed with error " << error;
}

std::string ValuePath(std::string_view path, std::string_view name) {
    return std::string(path) + '\\' + std::string(name);
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

OwnedKey CreateKeyForValues(std::string_view path) {
    HKEY key = nullptr;
    const LSTATUS error =
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, std::string(path).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (error != ERROR_SUCCESS) {
        ReportFailure("RegCreateKeyExA", path, error);
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
        ReportFailure(call, path, error);
    }
    return names;
}

constexpr std::pair<DWORD, const char*> TypeNames[] = {
    {REG_NONE, "REG_NONE"},           {REG_SZ, "REG_SZ"},
    {REG_EXPAND_SZ, "REG_EXPAND_SZ"}, {REG_BINARY, "REG_BINARY"},
    {REG_DWORD, "REG_DWORD"},         {REG_DWORD_BIG_ENDIAN, "REG_DWORD_BIG_ENDIAN"},
    {REG_LINK, "REG_LINK"},           {REG_MULTI_SZ, "REG_MULTI_SZ"},
    {REG_QWORD, "REG_QWORD"},
};

} // namespace

void PrintTo(const RegistryValue& value, std::ostream* out) {
    const char* typeName = nullptr;
    for (const auto& [type, name] : TypeNames) {
        if (type == value.type) {
            typeName = name;
        }
    }
    if (typeName != nullptr) {
        *out << typeName;
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
        ReportFailure("RegDeleteTreeA", path, error);
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
        RegSetValueExA(key.get(), std::string(name).c_str(), 0, type,
                       data.empty() ? &none : data.data(), static_cast<DWORD>(data.size()));
    if (error != ERROR_SUCCESS) {
        ReportFailure("RegSetValueExA", ValuePath(path, name), error);
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
            ReportFailure("RegQueryValueExA", ValuePath(path, name), error);
        }
        return std::nullopt;
    }
    return value;
}

bool DeleteValue(std::string_view path, std::string_view name) {
    const OwnedKey key = OpenKey(path, KEY_SET_VALUE);
    const LSTATUS error = key == nullptr ? ERROR_FILE_NOT_FOUND
                                         : RegDeleteValueA(key.get(), std::string(name).c_str());
    if (error != ERROR_SUCCESS) {
        ReportFailure("RegDeleteValueA", ValuePath(path, name), error);
        return false;
    }
    return true;
}

std::vector<std::string> ValueNames(std::string_view path) {
    return Names(path, "RegEnumValueA", [](HKEY key, DWORD index, char* name, DWORD* length) {
        return RegEnumValueA(key, index, name, length, nullptr, nullptr, nullptr, nullptr);
    });
}

std::vector<std::string> SubKeyNames(std::string_view path) {
    return Names(path, "RegEnumKeyExA", [](HKEY key, DWORD index, char* name, DWORD* length) {
        return RegEnumKeyExA(key, index, name, length, nullptr, nullptr, nullptr, nullptr);
    });
}

ReadOnlyKey::ReadOnlyKey(std::string_view path) : m_path(path) {
    const OwnedKey key = OpenKey(path, READ_CONTROL | WRITE_DAC);
    if (key == nullptr) {
        ADD_FAILURE() << "cannot make " << path << " read-only: the key is missing";
        return;
    }
    PSECURITY_DESCRIPTOR former = nullptr;
    DWORD error = GetSecurityInfo(key.get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, nullptr, nullptr, &former);
    if (error != ERROR_SUCCESS) {
        ReportFailure("GetSecurityInfo", path, static_cast<LSTATUS>(error));
        return;
    }
    m_formerSecurity.reset(former);

    DWORD everyone[SECURITY_MAX_SID_SIZE / sizeof(DWORD)];
    DWORD sidSize = sizeof everyone;
    DWORD acl[(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE) / sizeof(DWORD)];
    if (!CreateWellKnownSid(WinWorldSid, nullptr, everyone, &sidSize) ||
        !InitializeAcl(reinterpret_cast<PACL>(acl), sizeof acl, ACL_REVISION) ||
        !AddAccessAllowedAce(reinterpret_cast<PACL>(acl), ACL_REVISION,
                             KEY_READ | WRITE_DAC | DELETE, everyone)) {
        ReportFailure("building the read-only DACL for", path,
                      static_cast<LSTATUS>(GetLastError()));
        return;
    }
    error = SetSecurityInfo(key.get(), SE_REGISTRY_KEY,
                            DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, reinterpret_cast<PACL>(acl), nullptr);
    if (error != ERROR_SUCCESS) {
        ReportFailure("SetSecurityInfo", path, static_cast<LSTATUS>(error));
        return;
    }
    m_readOnly = true;
}

ReadOnlyKey::~ReadOnlyKey() {
    Restore();
}

bool ReadOnlyKey::Restore() {
    if (m_formerSecurity == nullptr) {
        return true;
    }
    m_readOnly = false;
    const std::unique_ptr<void, LocalFreer> former = std::move(m_formerSecurity);
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorDacl(former.get(), &present, &dacl, &defaulted);
    GetSecurityDescriptorControl(former.get(), &control, &revision);
    const SECURITY_INFORMATION protection = (control & SE_DACL_PROTECTED) != 0
                                                ? PROTECTED_DACL_SECURITY_INFORMATION
                                                : UNPROTECTED_DACL_SECURITY_INFORMATION;

    const OwnedKey key = OpenKey(m_path, WRITE_DAC);
    if (key == nullptr) {
        return false;
    }
    const DWORD error =
        SetSecurityInfo(key.get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION | protection, nullptr,
                        nullptr, present ? dacl : nullptr, nullptr);
    if (error != ERROR_SUCCESS) {
        ReportFailure("SetSecurityInfo", m_path, static_cast<LSTATUS>(error));
        return false;
    }
    return true;
}

} // namespace testsupport
