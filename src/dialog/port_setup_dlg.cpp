#include "dialog/port_setup_dlg.h"

#include "dialog/notices.h"
#include "framework/exchange.h"
#include "framework/paint_dc.h"
#include "params/parameter_store.h"
#include "res/resource.h"

namespace dialog {

namespace {

struct IntegerRange {
    std::int32_t lower;
    std::int32_t upper;
};

// The driver counts at most four adapters; COM numbers run from 3 (1 and 2 are the
// machine's own ports) to 247.
constexpr IntegerRange kAdapterCountRange{0, 4};
constexpr IntegerRange kStartPortRange{3, 247};

// What screen readers announce for the dialog, whose caption is empty: its notices' caption,
// without their " !".
constexpr wchar_t kDialogName[] = L"VELTA Multi-Serial Adapters";

// What screen readers announce for the value controls: the labels a sighted user reads beside
// them. Left to itself, the system names a check box by its own text ("ON", both of them) and an
// edit field after the static text before it in the template, which for these two is not their
// label; the template's order cannot change.
constexpr ControlName kControlNames[] = {
    {IDC_ADAPTER_COUNT, L"System detect adapter"},
    {IDC_START_PORT, L"Adapter #1 1'st port Com number"},
    {IDC_EXTMODE0, L"Adapter #1 Cable Extened Mode"},
    {IDC_EXTMODE1, L"Adapter #2 Cable Extened Mode"},
};

} // namespace

CPortSetupDlg::CPortSetupDlg() : CPortSetupDlg(IDD_PORTSETUP_DIALOG) {}

CPortSetupDlg::CPortSetupDlg(UINT templateId)
    : CDialog(templateId),
      m_hIcon(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_ADAPTER))) {}

framework::MessageResult CPortSetupDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    using framework::On;
    return framework::Dispatch<CDialog, On<WM_PAINT, &CPortSetupDlg::PaintMinimized>,
                               On<WM_QUERYDRAGICON, &CPortSetupDlg::GetDragIcon>,
                               On<WM_DESTROY, &CPortSetupDlg::OnDestroy>>(*this, message, wParam,
                                                                          lParam);
}

params::DriverParameters CPortSetupDlg::Parameters() const {
    return {m_nMaxAdapter, m_nStartNum, m_nExtMode0, m_nExtMode1};
}

void CPortSetupDlg::SetParameters(const params::DriverParameters& parameters) {
    m_nMaxAdapter = parameters.nMaxAdapter;
    m_nStartNum = parameters.nStartNum;
    m_nExtMode0 = parameters.nExtMode0;
    m_nExtMode1 = parameters.nExtMode1;
}

void CPortSetupDlg::ExchangeData(framework::ExchangeContext& context) {
    using namespace framework;
    AttachControl(context, IDOK, m_btnApply);
    ExchangeInteger(context, IDC_ADAPTER_COUNT, m_nMaxAdapter);
    CheckRange(context, m_nMaxAdapter, kAdapterCountRange.lower, kAdapterCountRange.upper);
    ExchangeInteger(context, IDC_START_PORT, m_nStartNum);
    CheckRange(context, m_nStartNum, kStartPortRange.lower, kStartPortRange.upper);
    ExchangeCheckBox(context, IDC_EXTMODE0, m_nExtMode0);
    ExchangeCheckBox(context, IDC_EXTMODE1, m_nExtMode1);
}

bool CPortSetupDlg::OnDialogInit() {
    params::DriverParameters parameters = Parameters();
    params::LoadDriverParameters(
        parameters, [this](params::Unreadable what) { ShowNotice(m_hWnd, NoticeFor(what)); });
    SetParameters(parameters);

    // When the controls cannot show the fields, the standard initialisation has ended the
    // run with -1 already; the window is then taken down without ever showing.
    CDialog::OnDialogInit();

    SetIcon(m_hIcon, true);
    SetIcon(m_hIcon, false);
    return true;
}

void CPortSetupDlg::OnShown() noexcept {
    // Starting COM and the accessibility service costs time; the focus starts on Apply, which
    // is named right already, so the names can come once the window is up.
    m_accessibleNames.emplace(m_hWnd, kDialogName, kControlNames);
    if (!m_accessibleNames->Given()) {
        m_accessibleNames.reset(); // nothing to take back: leave COM at once
    }
}

framework::MessageResult CPortSetupDlg::OnDestroy() {
    // The dialog hears of its end before its controls are destroyed.
    m_accessibleNames.reset();
    return std::nullopt;
}

void CPortSetupDlg::OnApply() {
    if (!RunExchange(true)) {
        return; // The user has been told, and the focus is on the field to correct.
    }
    switch (params::StoreDriverParameters(Parameters())) {
    case params::StoreResult::Stored:
        break;
    case params::StoreResult::Unchanged:
        // Nothing may claim a restart when nothing was written: stay open with the entries, so
        // the user can fix the rights and apply again, or Quit.
        ShowNotice(m_hWnd, Notice::StoreFailed);
        return;
    case params::StoreResult::PartlyStored:
        // Some values are new and some are old: the user must know, and can apply again.
        ShowNotice(m_hWnd, Notice::PartlyStored);
        return;
    }
    ShowNotice(m_hWnd, Notice::Restart);

    // Apply may have lost its default-button look while the notice had the focus; give it
    // back, and show the fields as stored, for the moment the window is still up.
    m_btnApply.SetButtonStyle(BS_DEFPUSHBUTTON, true);
    CDialog::OnDialogInit();
    CDialog::OnOK();
}

void CPortSetupDlg::OnQuit() {
    CDialog::OnCancel();
}

framework::MessageResult CPortSetupDlg::PaintMinimized() {
    if (!::IsIconic(m_hWnd)) {
        return std::nullopt; // The dialog manager paints the open window.
    }
    framework::PaintDC dc(m_hWnd);
    if (!dc) {
        return 0;
    }
    ::SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.Handle()), 0);
    const int iconWidth = ::GetSystemMetrics(SM_CXICON);
    const int iconHeight = ::GetSystemMetrics(SM_CYICON);
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - iconWidth + 1) / 2;
    const int y = (client.bottom - client.top - iconHeight + 1) / 2;
    ::DrawIcon(dc.Handle(), x, y, m_hIcon);
    return 0;
}

} // namespace dialog
