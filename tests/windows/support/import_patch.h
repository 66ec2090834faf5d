#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

namespace testsupport {

namespace detail {

// The entry of this program's import address table through which it calls `function`, imported
// by name from `module`; null, reported as a test failure, when there is none.
void* FindImport(std::string_view module, std::string_view function);
// Swaps `address` with what the entry holds, lifting the write protection the loader left on its
// page meanwhile; false, reported as a test failure, when the page cannot be made writable.
bool SwapImport(void* entry, std::uintptr_t& address);

} // namespace detail

// While it exists, this program's calls of `function` from `module` go to `replacement`. The
// libraries linked statically into the program call through its import table too, so this
// reaches the product's own calls; the DLLs keep calling the real function, through Original.
template <typename Function> class ImportPatch {
public:
    ImportPatch(std::string_view module, std::string_view function, Function* replacement)
        : m_entry(detail::FindImport(module, function)) {
        auto address = reinterpret_cast<std::uintptr_t>(replacement);
        if (m_entry != nullptr && detail::SwapImport(m_entry, address)) {
            m_original = reinterpret_cast<Function*>(address);
        } else {
            m_entry = nullptr;
        }
    }
    ~ImportPatch() {
        auto address = reinterpret_cast<std::uintptr_t>(m_original);
        if (m_entry != nullptr) {
            detail::SwapImport(m_entry, address);
        }
    }
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    Function* Original() const { return m_original; }

private:
    void* m_entry;
    Function* m_original = nullptr;
};

// Which calls of a registry function fail, numbered from 1: bit n-1 for the nth (up to 32).
using FailingCalls = std::uint32_t;
constexpr FailingCalls Call(unsigned number) {
    return FailingCalls{1} << (number - 1);
}
inline constexpr FailingCalls EveryCall = ~FailingCalls{0};

// Makes this program's registry calls fail on given turns while it exists, as a registry that
// refuses one write among others would: the calls of each function, ANSI and wide alike, are
// counted from the construction, and those chosen fail with ERROR_ACCESS_DENIED without reaching
// the registry. One at a time; the test's own registry helpers go through it too, so keep it
// short-lived.
class RegistryFaults {
public:
    struct Plan {
        FailingCalls queries = 0; // RegQueryValueEx
        FailingCalls sets = 0;    // RegSetValueEx
        FailingCalls deletes = 0; // RegDeleteValueW
        // RegQueryValueEx calls that fill the buffer with 0xBD and fail with ERROR_MORE_DATA, as
        // Windows may for a value longer than the buffer (Wine leaves the buffer alone).
        FailingCalls spoilingQueries = 0;
    };

    explicit RegistryFaults(Plan plan);
    ~RegistryFaults();
    RegistryFaults(const RegistryFaults&) = delete;
    RegistryFaults& operator=(const RegistryFaults&) = delete;

private:
    template <class Name>
    using QueryCall = LSTATUS WINAPI(HKEY, Name, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
    template <class Name>
    using SetCall = LSTATUS WINAPI(HKEY, Name, DWORD, DWORD, const BYTE*, DWORD);
    // The replacements, for the ANSI and the wide form alike; `Patch` is the one to pass on to.
    template <class Name, ImportPatch<QueryCall<Name>> RegistryFaults::*Patch>
    static LSTATUS WINAPI Query(HKEY key, Name name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                LPDWORD size);
    template <class Name, ImportPatch<SetCall<Name>> RegistryFaults::*Patch>
    static LSTATUS WINAPI Set(HKEY key, Name name, DWORD reserved, DWORD type, const BYTE* data,
                              DWORD size);
    static LSTATUS WINAPI Delete(HKEY key, LPCWSTR name);
    // Counts a call of the function whose plan is `failing`; true when this one is to fail.
    static bool Fails(FailingCalls failing, unsigned& count);
    static bool Chosen(FailingCalls calls, unsigned count);

    Plan m_plan;
    unsigned m_queries = 0;
    unsigned m_sets = 0;
    unsigned m_deletes = 0;
    ImportPatch<QueryCall<LPCSTR>> m_query;
    ImportPatch<QueryCall<LPCWSTR>> m_wideQuery;
    ImportPatch<SetCall<LPCSTR>> m_set;
    ImportPatch<SetCall<LPCWSTR>> m_wideSet;
    ImportPatch<decltype(RegDeleteValueW)> m_delete;
};

} // namespace testsupport
