#pragma once

#include "framework/window.h"

namespace framework {

// A push button, check box or radio button that the framework addresses as an object.
class CButton : public CWindow {
public:
    // Sets the button's style (BS_PUSHBUTTON, BS_DEFPUSHBUTTON, ...) and redraws it when
    // asked to.
    void SetButtonStyle(UINT style, bool redraw);
};

} // namespace framework
