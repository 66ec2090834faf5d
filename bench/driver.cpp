// Benchmark driver: starts BORVEX.EXE and the baseline dialog program side by side in one
// Wine prefix and measures them from the outside, the way a user meets them: time from
// CreateProcess to a visible dialog, the Apply round trip, the cost of a huge entry, and what
// the running dialog holds. It prints the rows of one table, and each launch to stderr in the
// order run: the warm-up, then each pair with its ratio.
//
// usage: BENCH.EXE BASELINE.EXE BORVEX.EXE LAUNCHES APPLIES HUGE_RUNS
//
// Everything is observed through the window manager, polled every millisecond, so each figure
// carries about a millisecond of resolution.
#include "harness/failure.h"
#include "harness/program.h"
#include "harness/registry.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

constexpr int StartPortId = 1006;
constexpr std::uint32_t SeededStartNum = 3; // as the default DriverKeys hold it
constexpr std::size_t HugeLength = 1000000;
constexpr std::chrono::milliseconds Poll{1};

double NowMs() {
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerMs;
}

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "bench: %s (last error %lu)\n", what.c_str(), GetLastError());
    std::fflush(stderr);
    std::exit(1);
}

// Waits for the program's dialog to be shown.
void WaitUntilShown(Program& program) {
    if (!program.WaitFor([&] { return program.Shown() || !program.Running(); }) ||
        !program.Shown()) {
        Fail("no dialog within the time limit");
    }
}

// Quits the program and waits for its end; its exit code.
DWORD Quit(Program& program) {
    program.Click(IDCANCEL);
    if (!program.WaitFor([&] { return !program.Running(); })) {
        Fail("program did not exit");
    }
    return program.ExitCode().value_or(STILL_ACTIVE);
}

// Waits until the dialog and all its controls have painted, so that the paint a setup step
// caused is not counted in the step measured after it.
void WaitUntilPainted(Program& program) {
    const auto painted = [&] {
        return std::ranges::none_of(WindowAndDescendants(program.Dialog()), [](HWND window) {
            return GetUpdateRect(window, nullptr, FALSE) != FALSE;
        });
    };
    DWORD_PTR ignored = 0;
    if (!program.WaitFor(painted) || !SendTo(program.Dialog(), WM_NULL, 0, 0, ignored)) {
        Fail("dialog never finished painting");
    }
}

// ----- statistics and report --------------------------------------------------------------

struct Summary {
    double median = 0;
    double min = 0;
    double max = 0;
};

double Median(std::vector<double> values) {
    std::ranges::sort(values);
    const std::size_t n = values.size();
    return n % 2 != 0 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

Summary Summarise(const std::vector<double>& values) {
    return {Median(values), std::ranges::min(values), std::ranges::max(values)};
}

std::string Format(const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Ms(double value) {
    return Format("%.1f ms", value);
}

std::string Range(const Summary& s) {
    return Ms(s.median) + " (" + Ms(s.min) + " .. " + Ms(s.max) + ")";
}

void Row(const std::string& what, const std::string& baseline, const std::string& product,
         const std::string& note = "") {
    std::printf("| %s | %s | %s | %s |\n", what.c_str(), baseline.c_str(), product.c_str(),
                note.c_str());
}

std::string Verdict(bool met) {
    return met ? "target met" : "TARGET MISSED";
}

// ----- measurements ---------------------------------------------------------------------------

struct Launch {
    std::string program; // the file name of the program started
    double visibleMs;
    double closeMs;
};

// CreateProcess to a visible dialog; then Quit to process exit.
Launch MeasureLaunch(const std::string& path) {
    const double start = NowMs();
    Program program(path, Poll);
    WaitUntilShown(program);
    const double visible = NowMs();
    const DWORD code = Quit(program);
    if (code != IDCANCEL && code != 0) {
        Fail("unexpected exit code " + std::to_string(code) + " after Quit");
    }
    return {path.substr(path.find_last_of("\\/") + 1), visible - start, NowMs() - visible};
}

// A launch as the log shows it: the program, then its two times.
std::string Logged(const Launch& launch) {
    return launch.program + " " + Format("%.2f ms", launch.visibleMs) + " (Quit " +
           Format("%.2f ms", launch.closeMs) + ")";
}

struct ApplySeries {
    std::vector<double> ms;        // Enter posted to the box visible
    std::vector<double> setTextMs; // the cross-process WM_SETTEXT (setup, not in `ms`)
    std::string box;               // text of the box that came up
    int registryOk = 0;            // runs after which StartNum0 held what it should
    std::size_t fieldLength = 0;
};

// Sets the start-port text, presses Enter in it and waits for the box that answers: the
// restart notice after a good entry, the range or integer message after a bad one. `expect` is
// the value that a good entry must leave in StartNum0.
void MeasureApply(const std::string& path, const std::string& text, std::optional<DWORD> expect,
                  ApplySeries& series) {
    Install({});
    Program program(path, Poll);
    WaitUntilShown(program);
    WaitUntilPainted(program);
    const double setStart = NowMs();
    if (!program.SetText(StartPortId, text)) {
        Fail("the start-port field took no text");
    }
    series.setTextMs.push_back(NowMs() - setStart);
    DWORD_PTR length = 0;
    SendTo(GetDlgItem(program.Dialog(), StartPortId), WM_GETTEXTLENGTH, 0, 0, length);
    series.fieldLength = length;
    WaitUntilPainted(program);

    // Enter in the field: the dialog manager turns it into the default button's command.
    const double start = NowMs();
    program.PressKey(VK_RETURN, StartPortId);
    HWND box = nullptr;
    if (!program.WaitFor([&] { return (box = program.Box()) != nullptr; })) {
        Fail("no box after Enter");
    }
    series.ms.push_back(NowMs() - start);
    const SeenBox seen = ReadMessageBox(box);
    series.box = seen.text;
    const std::optional<RegistryValue> stored = ReadValue(ParametersKeyPath, "StartNum0");
    series.registryOk += stored == Dword(expect.value_or(SeededStartNum)) ? 1 : 0;

    program.CloseBox(seen);
    if (!expect) {
        Quit(program); // a refused entry leaves the dialog open
    } else if (!program.WaitFor([&] { return !program.Running(); })) {
        Fail("program did not exit after Apply");
    }
}

ApplySeries RunApplies(const std::string& path, int runs, const std::string& text,
                       std::optional<DWORD> expect) {
    ApplySeries series;
    for (int i = 0; i < runs; ++i) {
        MeasureApply(path, text, expect, series);
    }
    return series;
}

struct Resources {
    SIZE_T peakWorkingSet = 0;
    SIZE_T workingSet = 0;
    ResourceCounts counts;
};

// What the running dialog holds once it has settled.
Resources MeasureResources(const std::string& path) {
    Program program(path, Poll);
    WaitUntilShown(program);
    WaitUntilPainted(program);
    Sleep(200);
    Resources resources;
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(program.Process(), &counters, sizeof counters)) {
        resources.peakWorkingSet = counters.PeakWorkingSetSize;
        resources.workingSet = counters.WorkingSetSize;
    }
    resources.counts = program.Counts();
    Quit(program);
    return resources;
}

int Count(const char* text) {
    return std::max(1, std::atoi(text));
}

} // namespace

namespace testsupport {

void ReportFailure(const std::string& what) {
    Fail(what);
}

} // namespace testsupport

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s BASELINE.EXE BORVEX.EXE LAUNCHES APPLIES HUGE_RUNS\n",
                     argv[0]);
        return 2;
    }
    const std::string baseline = argv[1];
    const std::string product = argv[2];
    const int launches = Count(argv[3]);
    const int applies = Count(argv[4]);
    const int hugeRuns = Count(argv[5]);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    Install({}); // a complete installation, so neither program shows a notice when it opens

    // One of each first, not counted: the first start of a program in a prefix pays for
    // loading Wine's DLLs from disk.
    const Launch warmBase = MeasureLaunch(baseline);
    const Launch warmProd = MeasureLaunch(product);
    std::fprintf(stderr, "warm-up, not counted: %s, then %s\n", Logged(warmBase).c_str(),
                 Logged(warmProd).c_str());

    // Alternating, with the order swapped every pair, so drift in the machine's load falls on
    // both programs alike.
    std::vector<double> baseVisible, prodVisible, baseClose, prodClose, ratios;
    for (int i = 0; i < launches; ++i) {
        const bool baseFirst = i % 2 == 0;
        const Launch first = MeasureLaunch(baseFirst ? baseline : product);
        const Launch second = MeasureLaunch(baseFirst ? product : baseline);
        const Launch& base = baseFirst ? first : second;
        const Launch& prod = baseFirst ? second : first;
        baseVisible.push_back(base.visibleMs);
        prodVisible.push_back(prod.visibleMs);
        baseClose.push_back(base.closeMs);
        prodClose.push_back(prod.closeMs);
        const double pairRatio = prod.visibleMs / base.visibleMs;
        ratios.push_back(pairRatio);
        std::fprintf(stderr, "pair %2d: %s, then %s: BORVEX/baseline %.4f\n", i + 1,
                     Logged(first).c_str(), Logged(second).c_str(), pairRatio);
    }

    // Apply round trips: a valid start port, alternating values so each run writes.
    ApplySeries apply;
    for (int i = 0; i < applies; ++i) {
        const DWORD value = i % 2 == 0 ? 5 : 6;
        MeasureApply(product, std::to_string(value), value, apply);
    }

    // Huge entries. Accepted: "100" alone, and "100" followed by blanks up to a million
    // characters (only 31 are read, and blanks after the digits are allowed). Refused: "abc"
    // against a million letters, both not an integer. (A million digits would be the natural
    // refused case, but setting such a text takes the system's edit control minutes under
    // Wine, before the program is involved at all.)
    std::string hugeGood = "100";
    hugeGood.resize(HugeLength, ' ');
    const ApplySeries shortGood = RunApplies(product, hugeRuns, "100", 100);
    const ApplySeries longGood = RunApplies(product, hugeRuns, hugeGood, 100);
    const ApplySeries shortBad = RunApplies(product, hugeRuns, "abc", std::nullopt);
    const ApplySeries longBad =
        RunApplies(product, hugeRuns, std::string(HugeLength, 'x'), std::nullopt);

    const Resources base = MeasureResources(baseline);
    const Resources prod = MeasureResources(product);

    const Summary baseLaunch = Summarise(baseVisible);
    const double ratio = Median(ratios);
    const Summary applySummary = Summarise(apply.ms);
    const auto runs = [](int ok, int of) { return std::to_string(ok) + "/" + std::to_string(of); };

    std::printf("| figure | baseline | BORVEX.EXE | note |\n|---|---|---|---|\n");
    Row("launch to dialog visible, median (min .. max), n=" + std::to_string(launches),
        Range(baseLaunch), Range(Summarise(prodVisible)));
    Row("launch ratio BORVEX/baseline, median of pairs", "", Format("%.3fx", ratio),
        "target <= 1.10x: " + Verdict(ratio <= 1.10));
    Row("Quit clicked to process exit, median", Ms(Median(baseClose)), Ms(Median(prodClose)));
    Row("Apply round trip (Enter in 1006 to restart notice), median (min .. max), n=" +
            std::to_string(applies),
        "", Range(applySummary),
        "target < baseline launch " + Ms(baseLaunch.median) + ": " +
            Verdict(applySummary.median < baseLaunch.median));
    Row("Apply: restart notice text", "", "\"" + apply.box + "\"");
    Row("Apply: StartNum0 written", "", runs(apply.registryOk, applies));
    const auto hugeRows = [&](const std::string& what, const ApplySeries& small,
                              const ApplySeries& big, const char* registry) {
        const std::string box = big.box.size() <= 40 ? big.box : big.box.substr(0, 37) + "...";
        Row(what + ", 3 chars vs " + std::to_string(big.fieldLength) +
                " chars, median, n=" + std::to_string(hugeRuns),
            "", Ms(Median(small.ms)) + " vs " + Ms(Median(big.ms)),
            Format("%.2fx", Median(big.ms) / Median(small.ms)) + "; box \"" + box +
                "\"; setup WM_SETTEXT " + Ms(Median(big.setTextMs)));
        Row(what.substr(0, what.find(" (")) + ": StartNum0 " + registry, "",
            runs(small.registryOk, hugeRuns) + " and " + runs(big.registryOk, hugeRuns));
    };
    hugeRows("huge entry accepted (\"100\" + blanks) to notice", shortGood, longGood, "written");
    hugeRows("huge entry refused (letters) to integer message", shortBad, longBad, "untouched");

    const auto kib = [](SIZE_T bytes) {
        return Format("%.1f KiB", static_cast<double>(bytes) / 1024);
    };
    Row("peak working set of the running dialog", kib(base.peakWorkingSet),
        kib(prod.peakWorkingSet));
    Row("working set of the running dialog", kib(base.workingSet), kib(prod.workingSet));
    const auto countRow = [&](const char* what, DWORD ResourceCounts::*count, bool wineZero) {
        const DWORD b = base.counts.*count;
        const DWORD p = prod.counts.*count;
        Row(what, std::to_string(b), std::to_string(p),
            wineZero && b + p == 0 ? "Wine answers 0 for another process: not measurable here"
                                   : "");
    };
    countRow("kernel handles (GetProcessHandleCount)", &ResourceCounts::handles, true);
    countRow("kernel handles (system handle table)", &ResourceCounts::handleTableEntries, false);
    countRow("windows of the process (top-level and children)", &ResourceCounts::windows, false);
    countRow("GDI objects (GetGuiResources)", &ResourceCounts::gdiObjects, true);
    countRow("USER objects (GetGuiResources)", &ResourceCounts::userObjects, true);
    return 0;
}
