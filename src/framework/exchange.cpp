#include "framework/exchange.h"

#include "framework/app_message.h"
#include "framework/rules/integer_text.h"

#include <array>

namespace framework {

namespace {

// An integer field's text is read into 32 characters: only its first 31 count.
constexpr std::size_t kIntegerTextBuffer = 32;
// SetTextIfChanged compares against at most this many characters of the current text.
constexpr std::size_t kCompareTextBuffer = 256;
// The check-box states: unchecked, checked, indeterminate.
constexpr std::int32_t kHighestCheckState = BST_INDETERMINATE;

// Per thread: a run of the exchange, and the notifications it causes, belong to one thread.
thread_local HWND t_notificationLockout = nullptr;

} // namespace

NotificationLockout::NotificationLockout(HWND window) : m_previous(t_notificationLockout) {
    t_notificationLockout = window;
}

NotificationLockout::~NotificationLockout() {
    t_notificationLockout = m_previous;
}

HWND NotificationLockout::Current() {
    return t_notificationLockout;
}

bool CDialog::RunExchange(bool save) {
    ExchangeContext context(save, *this);
    NotificationLockout lockout(m_hWnd);
    try {
        ExchangeData(context);
        return true;
    } catch (const ValidationFailure&) {
        // The failing step has told the user already.
    } catch (...) {
        ReportFailure(MB_ICONEXCLAMATION | MB_OK, IDS_INTERNAL_ERROR);
    }
    return false;
}

HWND PrepareControl(ExchangeContext& context, int controlId) {
    const HWND control = context.dialog.Item(controlId);
    if (control == nullptr) {
        throw UnsupportedOperation();
    }
    context.lastControl = control;
    context.editFlag = false;
    return control;
}

HWND PrepareEditControl(ExchangeContext& context, int controlId) {
    const HWND control = PrepareControl(context, controlId);
    context.editFlag = true;
    return control;
}

void FailExchange(ExchangeContext& context) {
    if (context.save && context.lastControl != nullptr) {
        ::SetFocus(context.lastControl);
        if (context.editFlag) {
            SelectAllText(context.lastControl);
        }
    }
    throw ValidationFailure();
}

void AttachControl(ExchangeContext& context, int controlId, CWindow& control) {
    if (!control.IsAttached()) {
        control.Attach(PrepareControl(context, controlId));
    }
}

void ExchangeInteger(ExchangeContext& context, int controlId, std::int32_t& field) {
    const HWND control = PrepareEditControl(context, controlId);
    if (context.save) {
        std::array<char, kIntegerTextBuffer> buffer{};
        const std::optional<std::int32_t> value = ParseInteger(GetControlText(control, buffer));
        if (!value) {
            ShowAppMessage(IDS_PARSE_INTEGER);
            FailExchange(context);
        }
        field = *value;
    } else {
        SetTextIfChanged(control, FormatInteger(field));
    }
}

void CheckRange(ExchangeContext& context, std::int32_t value, std::int32_t lower,
                std::int32_t upper) {
    if ((lower <= value && value <= upper) || !context.save) {
        return;
    }
    const std::string message =
        FormatPlaceholders(IDS_PARSE_INTEGER_RANGE, FormatInteger(lower), FormatInteger(upper));
    ShowAppMessage(message.c_str(), MB_ICONEXCLAMATION | MB_OK);
    FailExchange(context);
}

void ExchangeCheckBox(ExchangeContext& context, int controlId, std::int32_t& field) {
    const HWND control = PrepareControl(context, controlId);
    if (context.save) {
        field = GetCheckState(control);
    } else {
        if (field < BST_UNCHECKED || field > kHighestCheckState) {
            field = BST_UNCHECKED;
        }
        SetCheckState(control, field);
    }
}

void SetTextIfChanged(HWND control, std::string_view text) {
    if (text.size() <= kCompareTextBuffer) {
        std::array<char, kCompareTextBuffer> buffer{};
        if (GetControlText(control, buffer) == text) {
            return;
        }
    }
    SetControlText(control, text);
}

} // namespace framework
