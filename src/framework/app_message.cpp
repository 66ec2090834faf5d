#include "framework/app_message.h"

#include "framework/application.h"
#include "framework/exchange.h"
#include "framework/rules/placeholders.h"
#include "framework/scoped_disable.h"
#include "framework/string_resource.h"

#include <new>

namespace framework {

namespace {

// Longest template FormatPlaceholders loads.
constexpr std::size_t kMaxTemplate = 255;

// The window that owns an application-level box: the main window, or the pop-up of it that was
// active last, never a child.
HWND FindMessageOwner() {
    HWND owner = MainWindowHandle();
    if (owner == nullptr) {
        return nullptr;
    }
    owner = ::GetLastActivePopup(owner);
    while (owner != nullptr && (::GetWindowLongPtrA(owner, GWL_STYLE) & WS_CHILD) != 0) {
        owner = ::GetParent(owner);
    }
    return owner;
}

HWND TopLevelOf(HWND window) {
    HWND topLevel = window;
    for (HWND parent = ::GetParent(topLevel); parent != nullptr; parent = ::GetParent(parent)) {
        topLevel = parent;
    }
    return topLevel;
}

// The string-table entry of the failure being handled, or 0 when it has none.
UINT FailureTextId() noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return IDS_OUT_OF_MEMORY;
    } catch (const Failure& failure) {
        return failure.TextId();
    } catch (...) {
        return 0;
    }
}

} // namespace

int ShowAppMessage(const char* text, UINT style) noexcept {
    const HWND owner = FindMessageOwner();
    // The box disables its owner itself; a top-level window above the owner is ours to do.
    const HWND topLevel = owner != nullptr ? TopLevelOf(owner) : nullptr;
    ScopedDisable disabledTopLevel(topLevel != owner ? topLevel : nullptr);

    // Boxes with only OK, or a question of the OK/Cancel or Yes/No kind, get the exclamation
    // icon when the caller gave none.
    const UINT buttons = style & MB_TYPEMASK;
    if ((style & MB_ICONMASK) == 0 && (buttons == MB_OK || buttons == MB_OKCANCEL ||
                                       buttons == MB_YESNOCANCEL || buttons == MB_YESNO)) {
        style |= MB_ICONEXCLAMATION;
    }

    const CApplication* application = CApplication::Current();
    const char* caption = application != nullptr ? application->AppName().c_str() : "";
    return ::MessageBoxA(owner, text, caption, style);
}

int ShowAppMessage(UINT textId, UINT style) {
    return ShowAppMessage(LoadStringResource(textId).c_str(), style);
}

std::string FormatPlaceholders(UINT templateId, std::string_view first, std::string_view second) {
    const std::string templateText = LoadStringResource(templateId, kMaxTemplate);
    return ReplacePlaceholders(templateText, first, second, &IsAnsiLeadByte);
}

void ReportFailure(UINT style, UINT fallbackId) noexcept {
    const UINT ownTextId = FailureTextId();
    if (ownTextId != IDS_OUT_OF_MEMORY) {
        try {
            std::string text =
                ownTextId != 0 ? LoadStringResource(ownTextId, kMaxFailureText) : std::string();
            if (text.empty()) {
                text = LoadStringResource(fallbackId);
            }
            ShowAppMessage(text.c_str(), style);
            return;
        } catch (...) {
            // No memory left for the text: that is what the user is told instead.
        }
    }
    // Loaded at set-up: telling of memory running out must not need any.
    const CApplication* application = CApplication::Current();
    ShowAppMessage(application != nullptr ? application->OutOfMemoryText().c_str() : "", style);
}

} // namespace framework
