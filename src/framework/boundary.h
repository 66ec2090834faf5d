#pragma once

// The framework's exception boundary. No C++ exception may unwind through a window
// procedure, a hook or the message loop: the system's frames in between know nothing of
// it. Each boundary catches, hands the exception here and returns a neutral result; the
// innermost modal run then ends with -1 and rethrows it once it has returned, so the
// program can still report it.

#include <exception>
#include <utility>

namespace framework {

// Something that wants exceptions caught at a boundary handed over to it: a modal run.
class ExceptionSink {
public:
    virtual void TakeException(std::exception_ptr exception) noexcept = 0;

protected:
    ~ExceptionSink() = default;
};

// Makes `sink` the thread's innermost receiver for the life of this object.
class ScopedExceptionSink {
public:
    explicit ScopedExceptionSink(ExceptionSink& sink);
    ~ScopedExceptionSink();
    ScopedExceptionSink(const ScopedExceptionSink&) = delete;
    ScopedExceptionSink& operator=(const ScopedExceptionSink&) = delete;

private:
    ExceptionSink* m_previous;
};

// Hands the exception to the innermost sink, or keeps it for the thread when there is
// none (TakePendingException collects it).
void ForwardBoundaryException(std::exception_ptr exception) noexcept;

// The exception kept when no sink was there; empty when none.
std::exception_ptr TakePendingException() noexcept;

// Runs `body` at a boundary: its result, or `fallback` after it threw.
template <class Body, class Result> Result CallAtBoundary(Body&& body, Result fallback) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        ForwardBoundaryException(std::current_exception());
        return fallback;
    }
}

} // namespace framework
