#pragma once

#include <windows.h>

namespace framework {

// Disables a window for as long as something modal runs over it, and enables it again
// afterwards, whatever way the modal part ends. A window that was disabled already is left
// alone, so it is not enabled behind its owner's back.
class ScopedDisable {
public:
    explicit ScopedDisable(HWND window) {
        if (window != nullptr && ::IsWindowEnabled(window)) {
            m_window = window;
            ::EnableWindow(m_window, FALSE);
        }
    }
    ~ScopedDisable() {
        if (m_window != nullptr) {
            ::EnableWindow(m_window, TRUE);
        }
    }
    ScopedDisable(const ScopedDisable&) = delete;
    ScopedDisable& operator=(const ScopedDisable&) = delete;

private:
    HWND m_window = nullptr;
};

} // namespace framework
