#include "framework/window.h"

#include <string>

namespace framework {

std::string_view GetControlText(HWND control, std::span<char> buffer) {
    if (buffer.empty()) {
        return {};
    }
    buffer[0] = '\0';
    const int length = ::GetWindowTextA(control, buffer.data(), static_cast<int>(buffer.size()));
    return {buffer.data(), static_cast<std::size_t>(length > 0 ? length : 0)};
}

void SetControlText(HWND control, std::string_view text) {
    const std::string terminated(text);
    ::SetWindowTextA(control, terminated.c_str());
}

void SelectAllText(HWND edit) {
    ::SendMessageA(edit, EM_SETSEL, 0, -1);
}

int GetCheckState(HWND button) {
    return static_cast<int>(::SendMessageA(button, BM_GETCHECK, 0, 0));
}

void SetCheckState(HWND button, int state) {
    ::SendMessageA(button, BM_SETCHECK, static_cast<WPARAM>(state), 0);
}

} // namespace framework
