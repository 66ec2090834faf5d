// libstdc++'s default terminate handler prints the type of an uncaught exception,
// demangled, to the standard error stream. A GUI program has no such stream, and the
// framework catches every exception before it could reach terminate anyway; but the
// handler's demangler alone is over a third of the executable. This one ends the process
// the same way, without it.

#include <cstdlib>

// The handler is libstdc++'s own, replaced by name; other runtimes keep theirs.
#if defined(__GLIBCXX__)

namespace __gnu_cxx {

[[noreturn]] void __verbose_terminate_handler() {
    std::abort();
}

} // namespace __gnu_cxx

#endif
