// Benchmark driver: starts BORVEX.EXE and the baseline dialog program side by side in
// one Wine prefix and measures them from the outside, the way a user meets them: time
// from CreateProcess to a visible dialog, the Apply round trip, the cost of a huge
// entry, and what the running dialog holds. It prints one table.
//
// usage: BENCH.EXE BASELINE.EXE BORVEX.EXE [launches] [applies] [huge-entry runs]
//
// Everything is observed through the window manager: a dialog counts as up when a
// visible top-level "#32770" window of the process exists. The driver polls for it
// every millisecond, so each figure carries about a millisecond of resolution.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kStartPortId = 1006;
constexpr int kBoxTextId = 0xFFFF; // the static that carries a message box's text
constexpr DWORD kWindowTimeoutMs = 20000;
constexpr DWORD kExitTimeoutMs = 20000;
constexpr const char* kParametersKey = "SYSTEM\\CurrentControlSet\\Services\\BORVEX\\Parameters";
constexpr DWORD kSeededStartNum = 3;
constexpr std::size_t kHugeLength = 1000000;

double NowMs() {
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency;
        ::QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerMs;
}

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "bench: %s (last error %lu)\n", what.c_str(), ::GetLastError());
    std::fflush(stderr);
    std::exit(1);
}

// A started program. Killed on destruction if a measurement left it running, so one
// failed run does not leave a dialog behind to confuse the next one.
class Child {
public:
    explicit Child(const std::string& path) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string commandLine = "\"" + path + "\"";
        if (!::CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &m_info)) {
            Fail("cannot start " + path);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() {
        if (::WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(m_info.hProcess, 99);
            ::WaitForSingleObject(m_info.hProcess, kExitTimeoutMs);
        }
        ::CloseHandle(m_info.hThread);
        ::CloseHandle(m_info.hProcess);
    }

    HANDLE Process() const { return m_info.hProcess; }
    DWORD Id() const { return m_info.dwProcessId; }
    bool Running() const { return ::WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT; }

    // Waits for the process to end; returns its exit code.
    DWORD WaitExit() const {
        if (::WaitForSingleObject(m_info.hProcess, kExitTimeoutMs) != WAIT_OBJECT_0) {
            Fail("program did not exit");
        }
        DWORD code = 0;
        ::GetExitCodeProcess(m_info.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION m_info{};
};

struct DialogSearch {
    DWORD processId;
    HWND exclude;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<DialogSearch*>(context);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search.processId || window == search.exclude || !::IsWindowVisible(window)) {
        return TRUE;
    }
    char className[16] = {};
    ::GetClassNameA(window, className, static_cast<int>(sizeof className));
    if (std::string(className) != "#32770") {
        return TRUE;
    }
    search.found = window;
    return FALSE;
}

// A visible top-level dialog of the process, other than `exclude`, or null.
HWND FindDialog(DWORD processId, HWND exclude) {
    DialogSearch search{processId, exclude, nullptr};
    ::EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Polls every millisecond until the process shows a dialog other than `exclude`.
HWND WaitForDialog(const Child& child, HWND exclude) {
    const double deadline = NowMs() + kWindowTimeoutMs;
    for (;;) {
        if (const HWND window = FindDialog(child.Id(), exclude)) {
            return window;
        }
        if (!child.Running()) {
            Fail("program ended before its dialog was visible");
        }
        if (NowMs() > deadline) {
            Fail("no dialog within the time limit");
        }
        ::Sleep(1);
    }
}

// Sends to another process's window, giving up (and failing the run) when it hangs.
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, 120000, &result)) {
        Fail("window did not answer message " + std::to_string(message));
    }
    return static_cast<LRESULT>(result);
}

std::size_t TextLength(HWND window) {
    return static_cast<std::size_t>(Send(window, WM_GETTEXTLENGTH, 0, 0));
}

std::string WindowText(HWND window) {
    const std::size_t length = TextLength(window);
    std::string text(length + 1, '\0');
    Send(window, WM_GETTEXT, static_cast<WPARAM>(text.size()),
         reinterpret_cast<LPARAM>(text.data()));
    text.resize(length);
    return text;
}

void Trace(const char* stage) {
    std::fprintf(stderr, "  %.1f %s\n", NowMs(), stage);
}

BOOL CALLBACK CollectChild(HWND window, LPARAM context) {
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    return TRUE;
}

// Waits until the dialog and all its controls have painted, so that the paint a setup
// step caused is not counted in the step measured after it.
void WaitUntilPainted(HWND dialog) {
    const double deadline = NowMs() + kWindowTimeoutMs;
    for (;;) {
        std::vector<HWND> windows{dialog};
        ::EnumChildWindows(dialog, CollectChild, reinterpret_cast<LPARAM>(&windows));
        const bool pending = std::any_of(windows.begin(), windows.end(), [](HWND window) {
            return ::GetUpdateRect(window, nullptr, FALSE) != FALSE;
        });
        if (!pending) {
            break;
        }
        if (NowMs() > deadline) {
            Fail("dialog never finished painting");
        }
        ::Sleep(1);
    }
    Send(dialog, WM_NULL, 0, 0);
}

// ----- registry -----------------------------------------------------------------------

class ParametersKey {
public:
    ParametersKey() {
        if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kParametersKey, 0, nullptr, 0,
                              KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &m_key,
                              nullptr) != ERROR_SUCCESS) {
            Fail("cannot open the driver's Parameters key");
        }
    }
    ParametersKey(const ParametersKey&) = delete;
    ParametersKey& operator=(const ParametersKey&) = delete;
    ~ParametersKey() { ::RegCloseKey(m_key); }

    std::optional<DWORD> StartNum() const {
        DWORD value = 0xDEADBEEF;
        DWORD size = sizeof value;
        DWORD type = 0;
        if (::RegQueryValueExA(m_key, "StartNum0", nullptr, &type, reinterpret_cast<BYTE*>(&value),
                               &size) != ERROR_SUCCESS ||
            type != REG_DWORD) {
            return std::nullopt;
        }
        return value;
    }
    void SetStartNum(DWORD value) const {
        ::RegSetValueExA(m_key, "StartNum0", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                         sizeof value);
    }

private:
    HKEY m_key{};
};

// ----- statistics ---------------------------------------------------------------------

struct Summary {
    double median = 0;
    double min = 0;
    double max = 0;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 != 0 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

Summary Summarise(const std::vector<double>& values) {
    return {Median(values), *std::min_element(values.begin(), values.end()),
            *std::max_element(values.begin(), values.end())};
}

// ----- measurements -------------------------------------------------------------------

struct Launch {
    double visibleMs;
    double closeMs;
};

// CreateProcess to a visible dialog; then Quit (IDCANCEL) to process exit.
Launch MeasureLaunch(const std::string& path) {
    const double start = NowMs();
    const Child child(path);
    const HWND dialog = WaitForDialog(child, nullptr);
    const double visible = NowMs();
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    const DWORD code = child.WaitExit();
    const double ended = NowMs();
    if (code != IDCANCEL && code != 0) {
        Fail("unexpected exit code " + std::to_string(code) + " after Quit");
    }
    return {visible - start, ended - visible};
}

struct ApplyRun {
    double ms;        // Enter posted to the box visible
    double setTextMs; // the cross-process WM_SETTEXT (setup, not in `ms`)
    std::string box;  // text of the box that came up
    bool registryOk;  // StartNum0 holds the entered value (when one was accepted)
    std::size_t fieldLength;
};

// Sets the start-port text, presses Enter in it and waits for the box that answers:
// the restart notice after a good entry, the range or integer message after a bad one.
// `expect` is the value that a good entry must leave in StartNum0.
ApplyRun MeasureApply(const std::string& path, const std::string& text,
                      std::optional<DWORD> expect) {
    const ParametersKey key;
    key.SetStartNum(kSeededStartNum);

    const Child child(path);
    const HWND dialog = WaitForDialog(child, nullptr);
    WaitUntilPainted(dialog);
    const HWND field = ::GetDlgItem(dialog, kStartPortId);
    if (field == nullptr) {
        Fail("no start-port field");
    }
    Trace("apply: dialog painted");
    const double setStart = NowMs();
    Send(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    const double setEnd = NowMs();
    const std::size_t length = TextLength(field);
    Trace("apply: text set");
    WaitUntilPainted(dialog);
    Trace("apply: painted again");

    // Enter in the field, as a user types it: the dialog manager turns it into the
    // default button's command.
    const double start = NowMs();
    ::PostMessageA(field, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    ::PostMessageA(field, WM_KEYUP, VK_RETURN, static_cast<LPARAM>(0xC01C0001u));
    const HWND box = WaitForDialog(child, dialog);
    const double shown = NowMs();
    Trace("apply: box up");

    ApplyRun run{shown - start, setEnd - setStart, "", false, length};
    if (const HWND boxText = ::GetDlgItem(box, kBoxTextId)) {
        run.box = WindowText(boxText);
    }
    const std::optional<DWORD> stored = key.StartNum();
    run.registryOk = expect ? stored == expect : stored == kSeededStartNum;

    ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    if (!expect) {
        // A refused entry leaves the dialog open: wait for the box to go, then Quit.
        const double deadline = NowMs() + kExitTimeoutMs;
        while (::IsWindow(box) && NowMs() < deadline) {
            ::Sleep(1);
        }
        ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    child.WaitExit();
    key.SetStartNum(kSeededStartNum);
    return run;
}

// Wine answers GetProcessHandleCount for another process with 0; the system-wide handle
// list (what handle viewers read) has the real count.
struct SystemHandle {
    ULONG processId;
    UCHAR objectType;
    UCHAR flags;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
};

DWORD CountHandlesOf(DWORD processId) {
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    constexpr ULONG kSystemHandleInformation = 16;
    std::vector<char> buffer(1 << 20);
    for (int attempt = 0; attempt < 8 && query != nullptr; ++attempt) {
        ULONG needed = 0;
        const LONG status = query(kSystemHandleInformation, buffer.data(),
                                  static_cast<ULONG>(buffer.size()), &needed);
        if (status == 0) {
            ULONG count = 0;
            std::memcpy(&count, buffer.data(), sizeof count);
            const auto* entries =
                reinterpret_cast<const SystemHandle*>(buffer.data() + sizeof(ULONG_PTR));
            return static_cast<DWORD>(
                std::count_if(entries, entries + count, [&](const SystemHandle& entry) {
                    return entry.processId == processId;
                }));
        }
        buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed + 4096));
    }
    return 0;
}

std::size_t CountWindowsOf(DWORD processId) {
    std::vector<HWND> all;
    ::EnumWindows(CollectChild, reinterpret_cast<LPARAM>(&all));
    std::size_t count = 0;
    for (const HWND window : all) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == processId) {
            std::vector<HWND> children;
            ::EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
            count += 1 + children.size();
        }
    }
    return count;
}

struct Resources {
    SIZE_T peakWorkingSet = 0;
    SIZE_T workingSet = 0;
    DWORD handles = 0;
    DWORD systemListHandles = 0;
    std::size_t windows = 0;
    DWORD gdiObjects = 0;
    DWORD userObjects = 0;
};

// What the running dialog holds once it has settled.
Resources MeasureResources(const std::string& path) {
    const Child child(path);
    const HWND dialog = WaitForDialog(child, nullptr);
    WaitUntilPainted(dialog);
    ::Sleep(200);
    Resources resources;
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (::GetProcessMemoryInfo(child.Process(), &counters, sizeof counters)) {
        resources.peakWorkingSet = counters.PeakWorkingSetSize;
        resources.workingSet = counters.WorkingSetSize;
    }
    ::GetProcessHandleCount(child.Process(), &resources.handles);
    resources.systemListHandles = CountHandlesOf(child.Id());
    resources.windows = CountWindowsOf(child.Id());
    resources.gdiObjects = ::GetGuiResources(child.Process(), GR_GDIOBJECTS);
    resources.userObjects = ::GetGuiResources(child.Process(), GR_USEROBJECTS);
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    child.WaitExit();
    return resources;
}

// ----- the executable file ------------------------------------------------------------

std::vector<char> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        Fail("cannot read " + path);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <typename T> const T* At(const std::vector<char>& image, std::size_t offset) {
    if (offset + sizeof(T) > image.size()) {
        Fail("truncated executable");
    }
    return reinterpret_cast<const T*>(image.data() + offset);
}

// The DLLs named in the executable's import table, read from the file's sections.
std::vector<std::string> ImportedDlls(const std::vector<char>& image) {
    const auto* dos = At<IMAGE_DOS_HEADER>(image, 0);
    const auto ntOffset = static_cast<std::size_t>(dos->e_lfanew);
    const auto* nt = At<IMAGE_NT_HEADERS64>(image, ntOffset);
    const auto* sections =
        At<IMAGE_SECTION_HEADER>(image, ntOffset + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
                                            nt->FileHeader.SizeOfOptionalHeader);
    const auto toFile = [&](DWORD rva) -> std::size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const auto& section = sections[i];
            if (rva >= section.VirtualAddress &&
                rva < section.VirtualAddress + section.SizeOfRawData) {
                return rva - section.VirtualAddress + section.PointerToRawData;
            }
        }
        Fail("import table outside the sections");
    };
    const auto& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::vector<std::string> names;
    if (directory.VirtualAddress == 0) {
        return names;
    }
    for (std::size_t offset = toFile(directory.VirtualAddress);;
         offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto* descriptor = At<IMAGE_IMPORT_DESCRIPTOR>(image, offset);
        if (descriptor->Name == 0) {
            break;
        }
        names.emplace_back(At<char>(image, toFile(descriptor->Name)));
    }
    return names;
}

// A DLL that every Windows installation has: it is found in the system directory.
bool IsSystemDll(const std::string& name) {
    char directory[MAX_PATH] = {};
    ::GetSystemDirectoryA(directory, MAX_PATH);
    const std::string path = std::string(directory) + "\\" + name;
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// ----- report -------------------------------------------------------------------------

std::string Ms(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", value);
    return text;
}

std::string Fixed(double value, const char* unit = "") {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f%s", value, unit);
    return text;
}

std::string Kib(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f KiB", static_cast<double>(bytes) / 1024.0);
    return text;
}

std::string Range(const Summary& s) {
    return Ms(s.median) + " (" + Ms(s.min) + " .. " + Ms(s.max) + ")";
}

void Row(const std::string& what, const std::string& baseline, const std::string& product,
         const std::string& note = "") {
    std::printf("| %s | %s | %s | %s |\n", what.c_str(), baseline.c_str(), product.c_str(),
                note.c_str());
}

std::string Join(const std::vector<std::string>& names) {
    std::string joined;
    for (const auto& name : names) {
        joined += (joined.empty() ? "" : ", ") + name;
    }
    return joined;
}

std::string Verdict(bool met) {
    return met ? "target met" : "TARGET MISSED";
}

int Count(const char* argument, int fallback) {
    return argument != nullptr ? std::max(1, std::atoi(argument)) : fallback;
}

std::string Short(const std::string& text) {
    return text.size() <= 40 ? text : text.substr(0, 37) + "...";
}

struct ApplySeries {
    std::vector<double> ms;
    std::vector<double> setTextMs;
    std::string box;
    int registryOk = 0;
    std::size_t fieldLength = 0;
};

ApplySeries RunApplies(const std::string& path, int runs, const std::string& text,
                       std::optional<DWORD> expect) {
    ApplySeries series;
    for (int i = 0; i < runs; ++i) {
        const ApplyRun run = MeasureApply(path, text, expect);
        series.ms.push_back(run.ms);
        series.setTextMs.push_back(run.setTextMs);
        series.box = run.box;
        series.registryOk += run.registryOk ? 1 : 0;
        series.fieldLength = run.fieldLength;
    }
    return series;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s BASELINE.EXE BORVEX.EXE [launches] [applies] [huge-runs]\n",
                     argv[0]);
        return 2;
    }
    const std::string baseline = argv[1];
    const std::string product = argv[2];
    const int launches = Count(argc > 3 ? argv[3] : nullptr, 20);
    const int applies = Count(argc > 4 ? argv[4] : nullptr, 10);
    const int hugeRuns = Count(argc > 5 ? argv[5] : nullptr, 5);
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    // One of each first, unmeasured: the first start of a program in a prefix pays for
    // loading Wine's DLLs from disk.
    MeasureLaunch(baseline);
    MeasureLaunch(product);

    // Alternating, with the order swapped every pair, so drift in the machine's load
    // falls on both programs alike.
    std::vector<double> baseVisible, prodVisible, baseClose, prodClose, ratios;
    for (int i = 0; i < launches; ++i) {
        Launch base{}, prod{};
        if (i % 2 == 0) {
            base = MeasureLaunch(baseline);
            prod = MeasureLaunch(product);
        } else {
            prod = MeasureLaunch(product);
            base = MeasureLaunch(baseline);
        }
        baseVisible.push_back(base.visibleMs);
        prodVisible.push_back(prod.visibleMs);
        baseClose.push_back(base.closeMs);
        prodClose.push_back(prod.closeMs);
        ratios.push_back(prod.visibleMs / base.visibleMs);
        std::fprintf(stderr, "launch %2d: baseline %.1f ms, BORVEX %.1f ms\n", i + 1,
                     base.visibleMs, prod.visibleMs);
    }

    // Apply round trips: a valid start port, alternating values so each run writes.
    ApplySeries apply;
    for (int i = 0; i < applies; ++i) {
        const DWORD value = i % 2 == 0 ? 5 : 6;
        ApplySeries one = RunApplies(product, 1, std::to_string(value), value);
        apply.ms.push_back(one.ms.front());
        apply.box = one.box;
        apply.registryOk += one.registryOk;
    }

    // Huge entries. Accepted: "100" alone, and "100" followed by blanks up to a million
    // characters (only 31 are read, and blanks after the digits are allowed). Refused:
    // "abc" against a million letters, both not an integer. (A million digits would be
    // the natural refused case, but setting such a text takes the system's edit control
    // minutes under Wine, before the program is involved at all.)
    std::string hugeGood = "100";
    hugeGood.resize(kHugeLength, ' ');
    const std::string hugeBad(kHugeLength, 'x');
    const ApplySeries shortGood = RunApplies(product, hugeRuns, "100", 100);
    const ApplySeries longGood = RunApplies(product, hugeRuns, hugeGood, 100);
    const ApplySeries shortBad = RunApplies(product, hugeRuns, "abc", std::nullopt);
    const ApplySeries longBad = RunApplies(product, hugeRuns, hugeBad, std::nullopt);

    const Resources baseRes = MeasureResources(baseline);
    const Resources prodRes = MeasureResources(product);

    const auto baseImage = ReadFile(baseline);
    const auto prodImage = ReadFile(product);
    const auto baseDlls = ImportedDlls(baseImage);
    const auto prodDlls = ImportedDlls(prodImage);
    std::vector<std::string> foreign;
    for (const auto& name : prodDlls) {
        if (!IsSystemDll(name)) {
            foreign.push_back(name);
        }
    }

    const Summary baseLaunch = Summarise(baseVisible);
    const Summary prodLaunch = Summarise(prodVisible);
    const double ratio = Median(ratios);
    const Summary applySummary = Summarise(apply.ms);
    const double sizeRatio =
        static_cast<double>(prodImage.size()) / static_cast<double>(baseImage.size());

    std::printf("| figure | baseline | BORVEX.EXE | note |\n|---|---|---|---|\n");
    Row("launch to dialog visible, median (min .. max), n=" + std::to_string(launches),
        Range(baseLaunch), Range(prodLaunch), "");
    Row("launch ratio BORVEX/baseline, median of pairs", "", Fixed(ratio, "x"),
        "target <= 1.10x: " + Verdict(ratio <= 1.10));
    Row("Quit posted to process exit, median", Ms(Median(baseClose)), Ms(Median(prodClose)), "");
    Row("Apply round trip (Enter in 1006 to restart notice), median (min .. max), n=" +
            std::to_string(applies),
        "", Range(applySummary),
        "target < baseline launch " + Ms(baseLaunch.median) + ": " +
            Verdict(applySummary.median < baseLaunch.median));
    Row("Apply: restart notice text", "", "\"" + apply.box + "\"", "");
    Row("Apply: StartNum0 written", "",
        std::to_string(apply.registryOk) + "/" + std::to_string(applies), "");
    const auto hugeRow = [&](const std::string& what, const ApplySeries& small,
                             const ApplySeries& big) {
        const double costRatio = Median(big.ms) / Median(small.ms);
        Row(what + ", 3 chars vs " + std::to_string(big.fieldLength) +
                " chars, median, n=" + std::to_string(hugeRuns),
            "", Ms(Median(small.ms)) + " vs " + Ms(Median(big.ms)),
            Fixed(costRatio, "x") + "; box \"" + Short(big.box) + "\"; setup WM_SETTEXT " +
                Ms(Median(big.setTextMs)));
    };
    hugeRow("huge entry accepted (\"100\" + blanks) to notice", shortGood, longGood);
    Row("huge entry accepted: StartNum0 written", "",
        std::to_string(shortGood.registryOk) + "/" + std::to_string(hugeRuns) + " and " +
            std::to_string(longGood.registryOk) + "/" + std::to_string(hugeRuns),
        "");
    hugeRow("huge entry refused (letters) to integer message", shortBad, longBad);
    Row("huge entry refused: StartNum0 untouched", "",
        std::to_string(shortBad.registryOk) + "/" + std::to_string(hugeRuns) + " and " +
            std::to_string(longBad.registryOk) + "/" + std::to_string(hugeRuns),
        "");
    Row("executable size", std::to_string(baseImage.size()) + " B",
        std::to_string(prodImage.size()) + " B",
        Fixed(sizeRatio, "x") + "; target <= 1.5x: " + Verdict(sizeRatio <= 1.5));
    Row("imported DLLs", Join(baseDlls), Join(prodDlls),
        foreign.empty() ? "all in the system directory: target met"
                        : "not system DLLs: " + Join(foreign) + ": TARGET MISSED");
    Row("peak working set of the running dialog", Kib(baseRes.peakWorkingSet),
        Kib(prodRes.peakWorkingSet), "");
    Row("working set of the running dialog", Kib(baseRes.workingSet), Kib(prodRes.workingSet), "");
    const char* wineZero = "Wine answers 0 for another process: not measurable here";
    Row("kernel handles (GetProcessHandleCount)", std::to_string(baseRes.handles),
        std::to_string(prodRes.handles), baseRes.handles + prodRes.handles == 0 ? wineZero : "");
    Row("kernel handles (system handle list)", std::to_string(baseRes.systemListHandles),
        std::to_string(prodRes.systemListHandles), "");
    Row("windows of the process (top-level and children)", std::to_string(baseRes.windows),
        std::to_string(prodRes.windows), "");
    Row("GDI objects (GetGuiResources)", std::to_string(baseRes.gdiObjects),
        std::to_string(prodRes.gdiObjects),
        baseRes.gdiObjects + prodRes.gdiObjects == 0 ? wineZero : "");
    Row("USER objects (GetGuiResources)", std::to_string(baseRes.userObjects),
        std::to_string(prodRes.userObjects),
        baseRes.userObjects + prodRes.userObjects == 0 ? wineZero : "");
    return 0;
}
