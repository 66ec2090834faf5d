// STARTCHECK.EXE PROGRAM: seeds the driver's keys of a complete installation, starts PROGRAM (a
// BORVEX.EXE), waits until its dialog is shown, presses Quit and waits for its end. scripts/release
// runs it on each BORVEX.EXE it packs, so that a release never holds an executable nobody
// started. Prints what it saw in one line; exits 0 only when the dialog came up with no box
// before it and Quit ended the program normally.
#include "harness/failure.h"
#include "harness/program.h"
#include "harness/registry.h"
#include "harness/windows.h"

#include <windows.h>

#include <cstdio>
#include <string>

using namespace testsupport;

namespace {

// Nothing in the program sets an exit status; 0 tells a normal end from a crash.
constexpr DWORD NormalExit = 0;

std::string Ended(const Program& program) {
    return "ended with exit code " + std::to_string(program.ExitCode().value_or(STILL_ACTIVE));
}

// What went wrong, or nothing.
std::string Check(Program& program) {
    if (!program.Started()) {
        return "did not start";
    }
    // On complete keys the program has no notice to show: a box here is a fault.
    HWND box = nullptr;
    program.WaitFor([&] {
        box = program.Box();
        return box != nullptr || program.Shown() || !program.Running();
    });
    if (box != nullptr) {
        return "showed the box \"" + ReadMessageBox(box).text + "\" before its dialog";
    }
    if (!program.Shown()) {
        return program.Running()
                   ? "showed no dialog within " + std::to_string(Patience.count() / 1000) + " s"
                   : Ended(program) + " before its dialog";
    }
    program.Click(IDCANCEL);
    if (!program.WaitFor([&] { return !program.Running(); })) {
        return "still runs after Quit";
    }
    return program.ExitCode() == NormalExit ? "" : Ended(program) + " after Quit";
}

} // namespace

namespace testsupport {

void ReportFailure(const std::string& what) {
    std::fprintf(stderr, "%s\n", what.c_str());
}

} // namespace testsupport

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s PROGRAM\n", argv[0]);
        return 2;
    }
    if (!Install({})) {
        std::fprintf(stderr, "the driver's keys could not be seeded\n");
        return 1;
    }
    Program program(argv[1]);
    const std::string fault = Check(program);
    if (!fault.empty()) {
        std::fprintf(stderr, "%s %s\n", argv[1], fault.c_str());
        return 1;
    }
    std::printf("%s showed its dialog, and Quit ended it\n", argv[1]);
    return 0;
}
