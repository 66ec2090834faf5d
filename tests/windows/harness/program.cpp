#include "harness/program.h"

#include "harness/failure.h"

#include <algorithm>
#include <cstdio>

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

// The process's entries in the system's handle table (SystemExtendedHandleInformation, whose
// process ids are as wide as a pointer on Windows and on Wine alike); 0 when it cannot be read.
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
    // Pointer-aligned, and grown while other processes add handles.
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
        return static_cast<DWORD>(std::count_if(
            table->entries, table->entries + table->count,
            [processId](const Entry& entry) { return entry.processId == processId; }));
    }
}

} // namespace

void PrintTo(const ResourceCounts& counts, std::ostream* out) {
    *out << "{handles " << counts.handles << ", GDI " << counts.gdiObjects << ", USER "
         << counts.userObjects << ", handle table " << counts.handleTableEntries << ", windows "
         << counts.windows << '}';
}

std::string WindowsPath(std::string_view unixPath) {
    std::string path = "Z:" + std::string(unixPath);
    std::ranges::replace(path, '/', '\\');
    return path;
}

Program::Program(const std::string& path, std::chrono::milliseconds poll)
    : m_poll(poll), m_job(CreateJobObjectA(nullptr, nullptr)) {
    // The program lives no longer than this process: when this one is killed (a test that ran
    // into its timeout), the system ends the job and the program with it, which would otherwise
    // stay on the desktop, in the way of the tests after it.
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(m_job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    // Wine fails a start with ERROR_INTERNAL_ERROR when the new process ends inside Wine's own
    // start-up, before it has taken its startup information, so before any code of the program
    // has run. Seen about once in a thousand starts during a full test run, never in thousands
    // of starts on their own; such a start, and only such a start, is made again, and said so.
    constexpr int Attempts = 3;
    for (int attempt = 1;; ++attempt) {
        if (CreateProcessA(path.c_str(), nullptr, nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                           nullptr, nullptr, &startup, &m_process)) {
            break;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_INTERNAL_ERROR && attempt < Attempts) {
            std::fprintf(stderr, "%s ended inside Wine's start-up; starting it again\n",
                         path.c_str());
            continue;
        }
        ReportFailure("CreateProcessA(\"" + path + "\") failed with error " +
                      std::to_string(error));
        m_process = {};
        return;
    }
    if (!AssignProcessToJobObject(m_job, m_process.hProcess)) {
        ReportFailure("AssignProcessToJobObject failed with error " +
                      std::to_string(GetLastError()));
    }
    ResumeThread(m_process.hThread);
}

Program::~Program() {
    if (Running()) {
        TerminateProcess(m_process.hProcess, 1);
        WaitForSingleObject(m_process.hProcess, static_cast<DWORD>(Patience.count()));
    }
    for (const HANDLE handle : {m_process.hThread, m_process.hProcess, m_job}) {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
}

bool Program::Running() const {
    return Started() && WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Program::ExitCode() const {
    DWORD exitCode = STILL_ACTIVE;
    if (Running() || !GetExitCodeProcess(m_process.hProcess, &exitCode)) {
        return std::nullopt;
    }
    return exitCode;
}

bool Program::WaitFor(const std::function<bool()>& condition) const {
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
            WaitForSingleObject(m_process.hProcess, static_cast<DWORD>(m_poll.count()));
        } else {
            Sleep(static_cast<DWORD>(m_poll.count()));
        }
    }
}

HWND Program::Dialog() {
    if (m_dialog == nullptr && Started()) {
        for (HWND window : ProcessWindows(m_process.dwProcessId)) {
            if (ClassName(window) == DialogClass && GetWindow(window, GW_OWNER) == nullptr) {
                m_dialog = window;
                break;
            }
        }
    }
    return m_dialog;
}

HWND Program::Box() const {
    for (HWND window : ProcessWindows(m_process.dwProcessId)) {
        if (window != m_dialog && IsWindowVisible(window) && IsMessageBox(window)) {
            return window;
        }
    }
    return nullptr;
}

std::optional<SeenBox> Program::WaitForBox() const {
    HWND box = nullptr;
    WaitFor([&] {
        box = Box();
        return box != nullptr || !Running();
    });
    return box != nullptr ? std::optional(ReadMessageBox(box)) : std::nullopt;
}

bool Program::CloseBox(const SeenBox& box) const {
    PressFirstButton(box);
    return WaitFor([&] { return !IsWindow(box.window); });
}

std::vector<SeenBox> Program::CloseBoxesUntil(const std::function<bool()>& done) {
    std::vector<SeenBox> boxes;
    for (;;) {
        HWND box = nullptr;
        WaitFor([&] {
            box = Box();
            return box != nullptr || done() || !Running();
        });
        if (box == nullptr) {
            return boxes;
        }
        boxes.push_back(ReadMessageBox(box));
        if (!CloseBox(boxes.back())) {
            return boxes;
        }
    }
}

std::string Program::Text(int id) {
    return WindowText(Control(id));
}

bool Program::SetText(int id, const std::string& text) {
    DWORD_PTR result = 0;
    return SendTo(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), result) &&
           result == TRUE;
}

bool Program::Checked(int id) {
    return testsupport::Checked(Control(id));
}

bool Program::Click(int id) {
    return PostMessageA(Control(id), BM_CLICK, 0, 0) != 0;
}

bool Program::FocusOn(int id) {
    const HWND control = Control(id);
    return PostMessageA(Dialog(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE) &&
           WaitFor([&] { return Focus() == control; });
}

bool Program::PressKey(WORD virtualKey, int id) {
    HWND target = id != 0 ? Control(id) : Focus();
    if (target == nullptr) {
        target = Dialog();
    }
    return PostKeyPress(target, virtualKey);
}

bool Program::RequestClose() {
    return PostMessageA(Dialog(), WM_CLOSE, 0, 0) != 0;
}

HWND Program::Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(m_process.dwThreadId, &info) ? info.hwndFocus : nullptr;
}

std::pair<DWORD, DWORD> Program::Selection(int id) {
    return testsupport::Selection(Control(id));
}

ResourceCounts Program::Counts() const {
    ResourceCounts counts;
    GetProcessHandleCount(m_process.hProcess, &counts.handles);
    counts.gdiObjects = GetGuiResources(m_process.hProcess, GR_GDIOBJECTS);
    counts.userObjects = GetGuiResources(m_process.hProcess, GR_USEROBJECTS);
    counts.handleTableEntries = HandleTableEntries(m_process.dwProcessId);
    for (HWND window : ProcessWindows(m_process.dwProcessId)) {
        counts.windows += static_cast<DWORD>(WindowAndDescendants(window).size());
    }
    return counts;
}

} // namespace testsupport
