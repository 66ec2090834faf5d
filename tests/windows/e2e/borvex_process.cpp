#include "e2e/borvex_process.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace e2e {

namespace {

using testsupport::IsMessageBox;
using testsupport::ProcessDialogs;
using testsupport::ProcessWindows;
using testsupport::ReadMessageBox;
using testsupport::SendTo;
using testsupport::WindowText;

using Clock = std::chrono::steady_clock;

// How often a wait looks again: often enough that a wait costs little beyond what the
// program itself takes, rarely enough that polling does not slow it down.
constexpr DWORD PollMilliseconds = 10;

constexpr int StartPortId = 1006; // only the settings dialog has it

// The build gives the program's Unix path; Wine maps the Unix root to drive Z:.
std::string ExecutablePath() {
    std::string path = std::string("Z:") + BORVEX_EXE;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// A box of the program that is up: a message box, shown.
bool IsOpenBox(HWND window) {
    return IsWindowVisible(window) && IsMessageBox(window);
}

// The process's entries in the system's handle table (SystemExtendedHandleInformation).
DWORD HandleTableEntries(DWORD processId) {
    struct Entry {
        void* object;
        ULONG_PTR processId;
        ULONG_PTR handle;
        ULONG grantedAccess;
        USHORT creatorBackTraceIndex;
        USHORT objectTypeIndex;
        ULONG attributes;
        ULONG reserved;
    };
    struct Table {
        ULONG_PTR count;
        ULONG_PTR reserved;
        Entry entries[1];
    };
    using Query = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
    constexpr ULONG ExtendedHandleInformation = 64;
    constexpr LONG InfoLengthMismatch = static_cast<LONG>(0xC0000004);

    const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) {
        return 0;
    }
    // Table-sized and pointer-aligned; grown while other processes add handles.
    std::vector<ULONG_PTR> buffer(8192);
    for (;;) {
        const auto size = static_cast<ULONG>(buffer.size() * sizeof(ULONG_PTR));
        ULONG needed = 0;
        const LONG status = query(ExtendedHandleInformation, buffer.data(), size, &needed);
        if (status == InfoLengthMismatch) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status != 0) {
            return 0;
        }
        const auto* table = reinterpret_cast<const Table*>(buffer.data());
        DWORD entries = 0;
        for (ULONG_PTR i = 0; i < table->count; ++i) {
            entries += table->entries[i].processId == processId ? 1 : 0;
        }
        return entries;
    }
}

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<DWORD*>(count);
    return TRUE;
}

// Windows of the process, its top-level windows and all their descendants.
DWORD WindowCount(DWORD processId) {
    DWORD windows = 0;
    for (HWND window : ProcessWindows(processId)) {
        ++windows;
        EnumChildWindows(window, CountWindow, reinterpret_cast<LPARAM>(&windows));
    }
    return windows;
}

} // namespace

void PrintTo(const ResourceCounts& counts, std::ostream* out) {
    *out << "{handles " << counts.handles << ", GDI " << counts.gdiObjects << ", USER "
         << counts.userObjects << ", handle table " << counts.handleTableEntries << ", windows "
         << counts.windows << '}';
}

BorvexProcess::BorvexProcess() {
    std::string path = ExecutablePath();
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &m_process)) {
        ADD_FAILURE() << "CreateProcessA(\"" << path << "\") failed with error " << GetLastError();
        m_process = {};
    }
}

BorvexProcess::~BorvexProcess() {
    if (!Started()) {
        return;
    }
    if (Running()) {
        TerminateProcess(m_process.hProcess, 1);
        WaitForSingleObject(m_process.hProcess, static_cast<DWORD>(Patience.count()));
    }
    CloseHandle(m_process.hThread);
    CloseHandle(m_process.hProcess);
}

bool BorvexProcess::Running() const {
    return Started() && WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT;
}

bool BorvexProcess::WaitFor(const std::function<bool()>& condition) const {
    const Clock::time_point deadline = Clock::now() + Patience;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        // Waiting on the process rather than sleeping: its end is news too.
        if (Started()) {
            WaitForSingleObject(m_process.hProcess, PollMilliseconds);
        } else {
            Sleep(PollMilliseconds);
        }
    }
}

std::optional<SeenBox> BorvexProcess::OpenBox() const {
    for (HWND window : ProcessDialogs(m_process.dwProcessId)) {
        if (IsOpenBox(window)) {
            return ReadMessageBox(window);
        }
    }
    return std::nullopt;
}

HWND BorvexProcess::WaitForDialog() {
    WaitFor([this] {
        for (HWND window : ProcessDialogs(m_process.dwProcessId)) {
            if (GetDlgItem(window, StartPortId) != nullptr && IsWindowVisible(window)) {
                m_dialog = window;
                return true;
            }
        }
        return !Running();
    });
    return m_dialog;
}

std::vector<SeenBox> BorvexProcess::CloseBoxesUntilShown() {
    std::vector<SeenBox> boxes;
    for (;;) {
        std::optional<SeenBox> box;
        bool shown = false;
        const bool settled = WaitFor([&] {
            for (HWND window : ProcessDialogs(m_process.dwProcessId)) {
                if (GetDlgItem(window, StartPortId) == nullptr) {
                    continue;
                }
                m_dialog = window; // known while still hidden: it owns the load notices
                shown = IsWindowVisible(window) != FALSE;
            }
            box = OpenBox();
            return shown || box.has_value() || !Running();
        });
        if (!settled || !box || !CloseBox(*box)) {
            if (!shown) {
                m_dialog = nullptr;
            }
            if (box) {
                boxes.push_back(*box);
            }
            return boxes;
        }
        boxes.push_back(*box);
    }
}

std::optional<SeenBox> BorvexProcess::WaitForBox() {
    std::optional<SeenBox> box;
    WaitFor([&] {
        box = OpenBox();
        return box.has_value() || !Running();
    });
    return box;
}

bool BorvexProcess::CloseBox(const SeenBox& box) {
    PressFirstButton(box);
    return WaitFor([&] { return !IsWindow(box.window); });
}

std::optional<DWORD> BorvexProcess::CloseBoxesUntilExit(std::vector<SeenBox>& boxes) {
    if (!Started()) {
        return std::nullopt;
    }
    for (;;) {
        std::optional<SeenBox> box;
        const bool settled = WaitFor([&] {
            box = OpenBox();
            return box.has_value() || !Running();
        });
        if (!settled) {
            return std::nullopt;
        }
        if (!box) {
            DWORD exitCode = STILL_ACTIVE;
            GetExitCodeProcess(m_process.hProcess, &exitCode);
            return exitCode;
        }
        boxes.push_back(*box);
        if (!CloseBox(*box)) {
            return std::nullopt;
        }
    }
}

std::string BorvexProcess::Text(int id) const {
    return WindowText(GetDlgItem(m_dialog, id));
}

bool BorvexProcess::SetText(int id, const std::string& text) {
    DWORD_PTR result = 0;
    return SendTo(GetDlgItem(m_dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                  result) &&
           result == TRUE;
}

bool BorvexProcess::Checked(int id) const {
    DWORD_PTR state = 0;
    return SendTo(GetDlgItem(m_dialog, id), BM_GETCHECK, 0, 0, state) && state == BST_CHECKED;
}

bool BorvexProcess::Click(int id) {
    return PostMessageA(GetDlgItem(m_dialog, id), BM_CLICK, 0, 0) != 0;
}

bool BorvexProcess::PressKey(WORD virtualKey) {
    HWND target = Focus();
    if (target == nullptr) {
        target = m_dialog;
    }
    const auto scanCode = static_cast<LPARAM>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC));
    const LPARAM down = 1 | (scanCode << 16);
    const LPARAM up = down | (LPARAM{1} << 30) | (LPARAM{1} << 31);
    return PostMessageA(target, WM_KEYDOWN, virtualKey, down) &&
           PostMessageA(target, WM_KEYUP, virtualKey, up);
}

bool BorvexProcess::RequestClose() {
    return PostMessageA(m_dialog, WM_CLOSE, 0, 0) != 0;
}

bool BorvexProcess::MoveFocusTo(int id) {
    return PostMessageA(m_dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(m_dialog, id)),
                        TRUE) != 0;
}

HWND BorvexProcess::Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(m_process.dwThreadId, &info)) {
        return nullptr;
    }
    return info.hwndFocus;
}

std::pair<DWORD, DWORD> BorvexProcess::Selection(int id) const {
    DWORD_PTR selection = 0xDEADBEEF;
    if (!SendTo(GetDlgItem(m_dialog, id), EM_GETSEL, 0, 0, selection)) {
        return {0xDEAD, 0xBEEF};
    }
    return {LOWORD(selection), HIWORD(selection)};
}

ResourceCounts BorvexProcess::Counts() const {
    ResourceCounts counts;
    GetProcessHandleCount(m_process.hProcess, &counts.handles);
    counts.gdiObjects = GetGuiResources(m_process.hProcess, GR_GDIOBJECTS);
    counts.userObjects = GetGuiResources(m_process.hProcess, GR_USEROBJECTS);
    counts.handleTableEntries = HandleTableEntries(m_process.dwProcessId);
    counts.windows = WindowCount(m_process.dwProcessId);
    return counts;
}

} // namespace e2e
