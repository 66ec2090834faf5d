#pragma once

#include "dialog/accessible_names.h"
#include "framework/dialog.h"
#include "params/driver_parameters.h"

#include <windows.h>

#include <cstdint>
#include <optional>

namespace dialog {

// The settings dialog: shows the driver's settings, lets the user change the first port's COM
// number and the two cable extended modes, and stores them on Apply.
class CPortSetupDlg : public framework::CDialog {
public:
    CPortSetupDlg();

    // The four value fields as a settings record.
    params::DriverParameters Parameters() const;

    framework::MessageResult HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    // For dialogs built from another template with the same controls.
    explicit CPortSetupDlg(UINT templateId);

    void ExchangeData(framework::ExchangeContext& context) override;
    bool OnDialogInit() override;
    // Apply is the dialog's OK button, Quit its Cancel button.
    void OnOK() override { OnApply(); }
    void OnCancel() override { OnQuit(); }
    void OnShown() noexcept override;

    framework::CButton m_btnApply;

private:
    void OnApply();
    void OnQuit();
    void SetParameters(const params::DriverParameters& parameters);
    framework::MessageResult PaintMinimized();
    framework::MessageResult OnDestroy();
    HICON GetDragIcon() const { return m_hIcon; }

    std::int32_t m_nMaxAdapter = 0;
    std::int32_t m_nStartNum = 0;
    std::int32_t m_nExtMode0 = 0;
    std::int32_t m_nExtMode1 = 0;
    HICON m_hIcon = nullptr;
    std::optional<AccessibleNames> m_accessibleNames;
};

} // namespace dialog
