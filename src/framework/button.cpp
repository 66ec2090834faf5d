#include "framework/button.h"

namespace framework {

void CButton::SetButtonStyle(UINT style, bool redraw) {
    ::SendMessageA(m_hWnd, BM_SETSTYLE, style, redraw ? TRUE : FALSE);
}

} // namespace framework
