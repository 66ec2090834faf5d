#include "support/registry_sandbox.h"

#include <aclapi.h>

#include <gtest/gtest.h>

#include <charconv>
#include <iomanip>
#include <memory>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace testsupport {

namespace {

constexpr const char* ScratchRoot = R"(Software\BorvexTests)";

struct KeyCloser {
    void operator()(HKEY key) const noexcept { RegCloseKey(key); }
};
using OwnedKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

void ReportFailure(const char* call, std::string_view path, LSTATUS error) {
    ADD_FAILURE() << call << "(\"" << path << "\") failed with error " << error;
}

// Opens a key below HKEY_LOCAL_MACHINE; null when it is missing, reported when it fails
// otherwise.
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

std::uint64_t ProcessStartTime(HANDLE process) {
    FILETIME creation{};
    FILETIME exit{};
    FILETIME kernel{};
    FILETIME user{};
    if (!GetProcessTimes(process, &creation, &exit, &kernel, &user)) {
        return 0;
    }
    return (std::uint64_t{creation.dwHighDateTime} << 32) | creation.dwLowDateTime;
}

// Scratch keys are named "<pid>-<process start>-<n>": the start time tells a running process
// from a later one that was given the same id.
struct ScratchOwner {
    DWORD processId = 0;
    std::uint64_t startTime = 0;
};

std::string ScratchName(const ScratchOwner& owner, unsigned number) {
    return std::to_string(owner.processId) + '-' + std::to_string(owner.startTime) + '-' +
           std::to_string(number);
}

// The number that is the whole of `text`.
template <class Number> bool ParseNumber(std::string_view text, Number& number) {
    const char* const end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, number);
    return !text.empty() && error == std::errc{} && next == end;
}

std::optional<ScratchOwner> ParseScratchName(std::string_view name) {
    const std::size_t first = name.find('-');
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t second = name.find('-', first + 1);
    if (second == std::string_view::npos) {
        return std::nullopt;
    }
    ScratchOwner owner;
    unsigned number = 0;
    if (!ParseNumber(name.substr(0, first), owner.processId) ||
        !ParseNumber(name.substr(first + 1, second - first - 1), owner.startTime) ||
        !ParseNumber(name.substr(second + 1), number)) {
        return std::nullopt;
    }
    return owner;
}

// Whether the process that made a scratch key may still be using it. Names that are not ours
// count as in use, so they are left alone.
bool ScratchInUse(std::string_view name) {
    const std::optional<ScratchOwner> owner = ParseScratchName(name);
    if (!owner) {
        return true;
    }
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, owner->processId);
    if (process == nullptr) {
        return GetLastError() != ERROR_INVALID_PARAMETER; // no process with that id
    }
    DWORD exitCode = 0;
    const bool inUse = GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE &&
                       ProcessStartTime(process) == owner->startTime;
    CloseHandle(process);
    return inUse;
}

// Deletes what test processes that crashed or were killed left behind.
void DeleteStaleScratchKeys() {
    HKEY raw = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, ScratchRoot, 0, KEY_READ, &raw) != ERROR_SUCCESS) {
        return;
    }
    const OwnedKey root(raw);
    std::vector<std::string> stale;
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(root.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        if (!ScratchInUse(std::string_view(name, length))) {
            stale.emplace_back(name, length);
        }
    }
    // Another test process may be deleting the same keys: failures do not matter.
    for (const std::string& key : stale) {
        RegDeleteTreeA(root.get(), key.c_str());
    }
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

RegistrySandbox::RegistrySandbox() {
    static unsigned nextNumber = 0;

    DeleteStaleScratchKeys();
    const ScratchOwner self{GetCurrentProcessId(), ProcessStartTime(GetCurrentProcess())};
    m_scratchPath = std::string(ScratchRoot) + '\\' + ScratchName(self, nextNumber++);

    HKEY scratch = nullptr;
    LSTATUS error =
        RegCreateKeyExA(HKEY_CURRENT_USER, m_scratchPath.c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &scratch, nullptr);
    if (error != ERROR_SUCCESS) {
        throw std::runtime_error("cannot create scratch key " + m_scratchPath + ": error " +
                                 std::to_string(error));
    }
    // The override keeps its own handle to the key.
    error = RegOverridePredefKey(HKEY_LOCAL_MACHINE, scratch);
    RegCloseKey(scratch);
    if (error != ERROR_SUCCESS) {
        RegDeleteTreeA(HKEY_CURRENT_USER, m_scratchPath.c_str());
        throw std::runtime_error("cannot put scratch key " + m_scratchPath +
                                 " in place of HKEY_LOCAL_MACHINE: error " + std::to_string(error));
    }
}

RegistrySandbox::~RegistrySandbox() {
    LSTATUS error = RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    if (error != ERROR_SUCCESS) {
        ReportFailure("RegOverridePredefKey", "HKEY_LOCAL_MACHINE", error);
    }
    error = RegDeleteTreeA(HKEY_CURRENT_USER, m_scratchPath.c_str());
    if (error != ERROR_SUCCESS) {
        ReportFailure("RegDeleteTreeA", m_scratchPath, error);
    }
}

bool RegistrySandbox::CreateKey(std::string_view path) {
    return CreateKeyForValues(path) != nullptr;
}

bool RegistrySandbox::KeyExists(std::string_view path) const {
    return OpenKey(path, KEY_QUERY_VALUE) != nullptr;
}

bool RegistrySandbox::DeleteKey(std::string_view path) {
    const LSTATUS error = RegDeleteTreeA(HKEY_LOCAL_MACHINE, std::string(path).c_str());
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) {
        ReportFailure("RegDeleteTreeA", path, error);
        return false;
    }
    return true;
}

bool RegistrySandbox::SetValue(std::string_view path, std::string_view name, DWORD type,
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
        ReportFailure("RegSetValueExA", std::string(path) + '\\' + std::string(name), error);
        return false;
    }
    return true;
}

bool RegistrySandbox::SetDword(std::string_view path, std::string_view name, std::uint32_t value) {
    const std::uint8_t bytes[] = {
        static_cast<std::uint8_t>(value),
        static_cast<std::uint8_t>(value >> 8),
        static_cast<std::uint8_t>(value >> 16),
        static_cast<std::uint8_t>(value >> 24),
    };
    return SetValue(path, name, REG_DWORD, bytes);
}

std::optional<RegistryValue> RegistrySandbox::ReadValue(std::string_view path,
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

bool RegistrySandbox::DeleteValue(std::string_view path, std::string_view name) {
    const OwnedKey key = OpenKey(path, KEY_SET_VALUE);
    const LSTATUS error = key == nullptr ? ERROR_FILE_NOT_FOUND
                                         : RegDeleteValueA(key.get(), std::string(name).c_str());
    if (error != ERROR_SUCCESS) {
        ReportFailure("RegDeleteValueA", std::string(path) + '\\' + std::string(name), error);
        return false;
    }
    return true;
}

std::vector<std::string> RegistrySandbox::ValueNames(std::string_view path) const {
    std::vector<std::string> names;
    const OwnedKey key = OpenKey(path, KEY_QUERY_VALUE);
    if (key == nullptr) {
        return names;
    }
    DWORD longest = 0;
    LSTATUS error = RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr,
                                     nullptr, nullptr, &longest, nullptr, nullptr, nullptr);
    std::string name(longest + 1, '\0');
    for (DWORD index = 0; error == ERROR_SUCCESS; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        error = RegEnumValueA(key.get(), index, name.data(), &length, nullptr, nullptr, nullptr,
                              nullptr);
        if (error == ERROR_SUCCESS) {
            names.emplace_back(name.data(), length);
        }
    }
    if (error != ERROR_NO_MORE_ITEMS) {
        ReportFailure("RegEnumValueA", path, error);
    }
    return names;
}

ReadOnlyKey RegistrySandbox::MakeReadOnly(std::string_view path) {
    const OwnedKey key = OpenKey(path, READ_CONTROL | WRITE_DAC);
    if (key == nullptr) {
        ADD_FAILURE() << "cannot make " << path << " read-only: the key is missing";
        return ReadOnlyKey(std::string(path), nullptr);
    }
    PSECURITY_DESCRIPTOR former = nullptr;
    DWORD error = GetSecurityInfo(key.get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, nullptr, nullptr, &former);
    if (error != ERROR_SUCCESS) {
        ReportFailure("GetSecurityInfo", path, static_cast<LSTATUS>(error));
        return ReadOnlyKey(std::string(path), nullptr);
    }
    ReadOnlyKey readOnly(std::string(path), former);

    DWORD everyone[SECURITY_MAX_SID_SIZE / sizeof(DWORD)];
    DWORD sidSize = sizeof everyone;
    DWORD acl[(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE) / sizeof(DWORD)];
    if (!CreateWellKnownSid(WinWorldSid, nullptr, everyone, &sidSize) ||
        !InitializeAcl(reinterpret_cast<PACL>(acl), sizeof acl, ACL_REVISION) ||
        !AddAccessAllowedAce(reinterpret_cast<PACL>(acl), ACL_REVISION,
                             KEY_READ | WRITE_DAC | DELETE, everyone)) {
        ReportFailure("building the read-only DACL for", path,
                      static_cast<LSTATUS>(GetLastError()));
        return readOnly;
    }
    error = SetSecurityInfo(key.get(), SE_REGISTRY_KEY,
                            DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, reinterpret_cast<PACL>(acl), nullptr);
    if (error != ERROR_SUCCESS) {
        ReportFailure("SetSecurityInfo", path, static_cast<LSTATUS>(error));
    }
    return readOnly;
}

ReadOnlyKey::ReadOnlyKey(std::string path, PSECURITY_DESCRIPTOR formerSecurity)
    : m_path(std::move(path)), m_formerSecurity(formerSecurity) {}

ReadOnlyKey::ReadOnlyKey(ReadOnlyKey&& other) noexcept
    : m_path(std::move(other.m_path)),
      m_formerSecurity(std::exchange(other.m_formerSecurity, nullptr)) {}

ReadOnlyKey::~ReadOnlyKey() {
    Restore();
}

bool ReadOnlyKey::Restore() {
    if (m_formerSecurity == nullptr) {
        return true;
    }
    const std::unique_ptr<void, decltype(&LocalFree)> former(
        std::exchange(m_formerSecurity, nullptr), &LocalFree);
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
