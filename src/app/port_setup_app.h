#pragma once

#include "framework/application.h"

namespace app {

// The utility's application: its whole life is one run of the settings dialog.
class CPortSetupApp : public framework::CApplication {
public:
    bool InitInstance() override;

    static const framework::CommandTable s_commandTable;

protected:
    const framework::CommandTable& GetCommandTable() const override { return s_commandTable; }

private:
    static const framework::CommandEntry s_commands[];
};

} // namespace app
