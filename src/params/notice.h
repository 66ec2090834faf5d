#pragma once

#include <windows.h>

namespace params {

// The utility's own notices: modal boxes owned by `owner`, with the utility's caption and
// the OK button; no icon unless one is given.
void ShowNotice(HWND owner, const char* text, UINT icon = 0);

} // namespace params
