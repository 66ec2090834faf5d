// leave_running.exe WORDS...: starts a copy of itself with "waiting" after the same words, which
// waits a minute, and exits at once. It is what the test of scripts/wine-exec runs: a program
// that leaves another running. The words tell the copy from every other process.
#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>

int main(int argc, char** argv) {
    constexpr std::string_view Waiting = "waiting";
    if (argc > 1 && argv[argc - 1] == Waiting) {
        Sleep(60'000);
        return 0;
    }
    std::string commandLine = GetCommandLineA();
    commandLine.append(" ").append(Waiting);
    // As the children of a program started from a console do, the copy shares its standard
    // handles.
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fprintf(stderr, "CreateProcess failed: %lu\n", GetLastError());
        return 1;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
