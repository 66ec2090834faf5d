#pragma once

#include "params/parameter_store.h"

#include <windows.h>

namespace dialog {

// The utility's own notices: modal boxes owned by the settings dialog, with the utility's
// caption and the OK button.
enum class Notice {
    ServiceKeyMissing,
    ParametersKeyMissing,
    ValueMissing,
    Restart,
    StoreFailed,
    PartlyStored,
};

void ShowNotice(HWND owner, Notice notice);

// The notice that tells of what loading could not read.
Notice NoticeFor(params::Unreadable what);

} // namespace dialog
