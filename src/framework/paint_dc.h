#pragma once

#include <windows.h>

namespace framework {

// BeginPaint / EndPaint for the length of a WM_PAINT handler.
class PaintDC {
public:
    explicit PaintDC(HWND window) : m_window(window), m_dc(::BeginPaint(window, &m_paint)) {}
    ~PaintDC() { ::EndPaint(m_window, &m_paint); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;

    HDC Handle() const { return m_dc; }
    explicit operator bool() const { return m_dc != nullptr; }

private:
    HWND m_window;
    PAINTSTRUCT m_paint{};
    HDC m_dc;
};

} // namespace framework
