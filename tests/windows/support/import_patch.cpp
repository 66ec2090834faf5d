#include "support/import_patch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace testsupport {

namespace detail {

void* FindImport(std::string_view module, std::string_view function) {
    auto* const image = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto at = [image](DWORD offset) { return image + offset; };
    const auto* const dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
    const auto* const nt =
        reinterpret_cast<const IMAGE_NT_HEADERS*>(at(static_cast<DWORD>(dos->e_lfanew)));
    const DWORD imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(at(imports));
         imports != 0 && descriptor->Name != 0; ++descriptor) {
        const auto* const dll = reinterpret_cast<const char*>(at(descriptor->Name));
        if (_stricmp(dll, std::string(module).c_str()) != 0) {
            continue;
        }
        // The names stay in the lookup table; the loader has overwritten the address table.
        const auto* name = reinterpret_cast<const IMAGE_THUNK_DATA*>(
            at(descriptor->OriginalFirstThunk != 0 ? descriptor->OriginalFirstThunk
                                                   : descriptor->FirstThunk));
        auto* address = reinterpret_cast<IMAGE_THUNK_DATA*>(at(descriptor->FirstThunk));
        for (; name->u1.AddressOfData != 0; ++name, ++address) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) {
                continue;
            }
            const auto* const byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(
                at(static_cast<DWORD>(name->u1.AddressOfData)));
            if (function == reinterpret_cast<const char*>(byName->Name)) {
                return &address->u1.Function;
            }
        }
    }
    ADD_FAILURE() << "this program imports no " << function << " from " << module;
    return nullptr;
}

bool SwapImport(void* entry, std::uintptr_t& address) {
    DWORD protection = 0;
    if (!VirtualProtect(entry, sizeof address, PAGE_READWRITE, &protection)) {
        ADD_FAILURE() << "VirtualProtect failed with error " << GetLastError();
        return false;
    }
    std::uintptr_t previous = 0;
    std::memcpy(&previous, entry, sizeof previous);
    std::memcpy(entry, &address, sizeof address);
    address = previous;
    VirtualProtect(entry, sizeof address, protection, &protection);
    return true;
}

} // namespace detail

namespace {

RegistryFaults* s_active = nullptr;

} // namespace

RegistryFaults::RegistryFaults(Plan plan)
    : m_plan(plan),
      m_query("advapi32.dll", "RegQueryValueExA", &Query<LPCSTR, &RegistryFaults::m_query>),
      m_wideQuery("advapi32.dll", "RegQueryValueExW",
                  &Query<LPCWSTR, &RegistryFaults::m_wideQuery>),
      m_set("advapi32.dll", "RegSetValueExA", &Set<LPCSTR, &RegistryFaults::m_set>),
      m_wideSet("advapi32.dll", "RegSetValueExW", &Set<LPCWSTR, &RegistryFaults::m_wideSet>),
      m_delete("advapi32.dll", "RegDeleteValueW", &Delete) {
    s_active = this;
}

RegistryFaults::~RegistryFaults() {
    s_active = nullptr;
}

bool RegistryFaults::Chosen(FailingCalls calls, unsigned count) {
    return count <= 32 && (calls >> (count - 1) & 1) != 0;
}

bool RegistryFaults::Fails(FailingCalls failing, unsigned& count) {
    return Chosen(failing, ++count);
}

template <class Name, ImportPatch<RegistryFaults::QueryCall<Name>> RegistryFaults::*Patch>
LSTATUS WINAPI RegistryFaults::Query(HKEY key, Name name, LPDWORD reserved, LPDWORD type,
                                     LPBYTE data, LPDWORD size) {
    RegistryFaults& self = *s_active;
    if (Fails(self.m_plan.queries, self.m_queries)) {
        return ERROR_ACCESS_DENIED;
    }
    if (Chosen(self.m_plan.spoilingQueries, self.m_queries) && data != nullptr) {
        std::memset(data, 0xBD, *size);
        *size += 4;
        return ERROR_MORE_DATA;
    }
    return (self.*Patch).Original()(key, name, reserved, type, data, size);
}

template <class Name, ImportPatch<RegistryFaults::SetCall<Name>> RegistryFaults::*Patch>
LSTATUS WINAPI RegistryFaults::Set(HKEY key, Name name, DWORD reserved, DWORD type,
                                   const BYTE* data, DWORD size) {
    RegistryFaults& self = *s_active;
    return Fails(self.m_plan.sets, self.m_sets)
               ? ERROR_ACCESS_DENIED
               : (self.*Patch).Original()(key, name, reserved, type, data, size);
}

LSTATUS WINAPI RegistryFaults::Delete(HKEY key, LPCWSTR name) {
    RegistryFaults& self = *s_active;
    return Fails(self.m_plan.deletes, self.m_deletes) ? ERROR_ACCESS_DENIED
                                                      : self.m_delete.Original()(key, name);
}

} // namespace testsupport
