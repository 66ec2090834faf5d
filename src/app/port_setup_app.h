#pragma once

#include "framework/application.h"

namespace app {

// The utility's application: its whole life is one run of the settings dialog.
class CPortSetupApp : public framework::CApplication {
public:
    bool InitInstance() override;
    bool OnCommand(UINT id) override;
};

} // namespace app
