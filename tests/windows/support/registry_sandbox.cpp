#include "support/registry_sandbox.h"

#include "harness/registry.h"

#include <windows.h>

#include <charconv>
#include <stdexcept>
#include <string>
#include <vector>

namespace testsupport {

namespace {

constexpr const char* ScratchRoot = R"(Software\BorvexTests)";

// Whether a process with this id runs; it may be a later one than the one that made the key,
// which only puts the key's deletion off.
bool ProcessRuns(DWORD processId) {
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr) {
        return GetLastError() != ERROR_INVALID_PARAMETER; // no process with that id
    }
    DWORD exitCode = 0;
    const bool runs = GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE;
    CloseHandle(process);
    return runs;
}

// Deletes what test processes that crashed or were killed left behind: the scratch keys
// ("<pid>-<n>") of processes that no longer run. Names that are not ours are left alone.
void DeleteStaleScratchKeys() {
    HKEY raw = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, ScratchRoot, 0, KEY_READ, &raw) != ERROR_SUCCESS) {
        return;
    }
    const OwnedKey root(raw);
    std::vector<std::string> stale;
    char name[256];
    DWORD length = sizeof name;
    for (DWORD index = 0; RegEnumKeyExA(root.get(), index, name, &length, nullptr, nullptr, nullptr,
                                        nullptr) == ERROR_SUCCESS;
         ++index, length = sizeof name) {
        DWORD processId = 0;
        const auto [end, error] = std::from_chars(name, name + length, processId);
        if (error == std::errc{} && *end == '-' && !ProcessRuns(processId)) {
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
    m_scratchPath = std::string(ScratchRoot) + '\\' + std::to_string(GetCurrentProcessId()) + '-' +
                    std::to_string(nextNumber++);
    // A process that had this id before may have left the key behind.
    RegDeleteTreeA(HKEY_CURRENT_USER, m_scratchPath.c_str());

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
