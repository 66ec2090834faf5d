#include "framework/boundary.h"

namespace framework {

namespace {

thread_local ExceptionSink* t_innermostSink = nullptr;
thread_local std::exception_ptr t_pendingException;

} // namespace

ScopedExceptionSink::ScopedExceptionSink(ExceptionSink& sink) : m_previous(t_innermostSink) {
    t_innermostSink = &sink;
}

ScopedExceptionSink::~ScopedExceptionSink() {
    t_innermostSink = m_previous;
}

void ForwardBoundaryException(std::exception_ptr exception) noexcept {
    if (t_innermostSink != nullptr) {
        t_innermostSink->TakeException(std::move(exception));
    } else if (!t_pendingException) {
        t_pendingException = std::move(exception);
    }
}

std::exception_ptr TakePendingException() noexcept {
    return std::exchange(t_pendingException, nullptr);
}

} // namespace framework
