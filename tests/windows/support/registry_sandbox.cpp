#include "support/registry_sandbox.h"

#include "harness/registry.h"

#include <windows.h>

#include <charconv>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace testsupport {

namespace {

constexpr const char* ScratchRoot = R"(Software\BorvexTests)";

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

} // namespace

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
        ReportRegistryFailure("RegOverridePredefKey", "HKEY_LOCAL_MACHINE", error);
    }
    error = RegDeleteTreeA(HKEY_CURRENT_USER, m_scratchPath.c_str());
    if (error != ERROR_SUCCESS) {
        ReportRegistryFailure("RegDeleteTreeA", m_scratchPath, error);
    }
}

} // namespace testsupport
