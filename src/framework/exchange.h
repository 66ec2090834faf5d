#pragma once

// Data exchange between a window's controls and its fields. A window's ExchangeData lists
// its bindings; each binding step moves one value in the run's direction, and in the save
// direction parses and range-checks it. A step that fails raises one of the failures
// below; only the runner catches them.

#include "framework/window.h"

#include <windows.h>

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

namespace framework {

// A failure that ends a run of the exchange.
class Failure : public std::exception {
public:
    const char* what() const noexcept override { return "framework failure"; }

    // The failure's own text for the user, at most `maxChars` characters; nullopt when
    // it has none.
    virtual std::optional<std::string> GetErrorMessage(std::size_t maxChars) const = 0;
};

// The user has been told already (a validation message); nothing more is shown.
class ValidationFailure final : public Failure {
public:
    std::optional<std::string> GetErrorMessage(std::size_t) const override { return std::nullopt; }
};

// A failure whose text is an entry of the string table, looked up when first asked for.
class StringTableFailure : public Failure {
public:
    explicit StringTableFailure(UINT textId) : m_textId(textId) {}
    std::optional<std::string> GetErrorMessage(std::size_t maxChars) const override;

private:
    // The longest text a failure keeps of its own.
    static constexpr std::size_t kMaxOwnText = 127;

    UINT m_textId;
    mutable std::optional<std::string> m_text;
};

// A step named a control the window does not have, or a control could not be attached.
class UnsupportedOperation final : public StringTableFailure {
public:
    UnsupportedOperation();
};

// Memory ran out during the run.
class OutOfMemory final : public StringTableFailure {
public:
    OutOfMemory();
};

// One run of the exchange: its direction, the window, and the control most recently
// looked up, which gets the focus when a step fails.
class ExchangeContext {
public:
    ExchangeContext(bool saveDirection, CWindow& window) : save(saveDirection), dialog(window) {}

    const bool save;
    CWindow& dialog;
    HWND lastControl = nullptr;
    bool editFlag = false;
};

// Runs the window's ExchangeData with `context`: true when every step completed, false
// after a failure that has been reported to the user. No exception leaves it.
bool RunExchangeWith(ExchangeContext& context);

// While a run holds a window here, command and notification messages from that window's
// child controls are ignored: setting a control's text must not look like the user's edit.
// One value per thread; runs nest, each restoring what it found.
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
