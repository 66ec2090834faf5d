#pragma once

// Data exchange between a dialog's controls and its fields. A dialog's ExchangeData lists its
// bindings; each binding step moves one value in the run's direction, and in the save direction
// parses and range-checks it. A step that fails raises one of the failures below; only the
// runner, CDialog::RunExchange, catches them.

#include "framework/dialog.h"
#include "framework/framework_ids.h"

#include <windows.h>

#include <cstdint>
#include <exception>
#include <string_view>

namespace framework {

// A failure that ends a run of the exchange. Its own text for the user, when it has one, is
// the string-table entry `TextId()`.
class Failure : public std::exception {
public:
    explicit Failure(UINT textId = 0) : m_textId(textId) {}
    const char* what() const noexcept override { return "data exchange failure"; }
    // 0: no text of its own.
    UINT TextId() const { return m_textId; }

private:
    UINT m_textId;
};

// The user has been told already (a validation message); nothing more is shown.
class ValidationFailure final : public Failure {};

// A step named a control the dialog does not have.
class UnsupportedOperation final : public Failure {
public:
    UnsupportedOperation() : Failure(IDS_UNSUPPORTED_OPERATION) {}
};

// Memory ran out during the run.
class OutOfMemory final : public Failure {
public:
    OutOfMemory() : Failure(IDS_OUT_OF_MEMORY) {}
};

// One run of the exchange: its direction, the dialog, and the control most recently looked up,
// which gets the focus when a step fails.
class ExchangeContext {
public:
    ExchangeContext(bool saveDirection, CDialog& window) : save(saveDirection), dialog(window) {}

    const bool save;
    CDialog& dialog;
    HWND lastControl = nullptr;
    bool editFlag = false;
};

// While a run holds a window here, command and notification messages from that window's child
// controls are ignored: setting a control's text must not look like the user's edit. One value
// per thread; runs nest, each restoring what it found.
class NotificationLockout {
public:
    explicit NotificationLockout(HWND window);
    ~NotificationLockout();
    NotificationLockout(const NotificationLockout&) = delete;
    NotificationLockout& operator=(const NotificationLockout&) = delete;

    // The window whose control notifications are ignored now; nullptr for none.
    static HWND Current();

private:
    HWND m_previous;
};

// Binding steps.
void AttachControl(ExchangeContext& context, int controlId, CWindow& control);
void ExchangeInteger(ExchangeContext& context, int controlId, std::int32_t& field);
void CheckRange(ExchangeContext& context, std::int32_t value, std::int32_t lower,
                std::int32_t upper);
void ExchangeCheckBox(ExchangeContext& context, int controlId, std::int32_t& field);

// What the binding steps share.
HWND PrepareControl(ExchangeContext& context, int controlId);
HWND PrepareEditControl(ExchangeContext& context, int controlId);
[[noreturn]] void FailExchange(ExchangeContext& context);
void SetTextIfChanged(HWND control, std::string_view text);

} // namespace framework
