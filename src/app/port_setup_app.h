#pragma once

#include "framework/application.h"

namespace app {

// The utility's application: its whole life is one run of the settings dialog. It offers no
// help: no help file belongs to it, and Windows 10 and 11 have no viewer for one.
class CPortSetupApp : public framework::CApplication {
public:
    bool InitInstance() override;
};

} // namespace app
