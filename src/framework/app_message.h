#pragma once

// Application-level message boxes: owned by the application's main window, captioned with the
// application's name, with the exclamation icon unless the caller chose one.

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace framework {

// The longest own text of a failure that is shown; longer ones are cut.
inline constexpr std::size_t kMaxFailureText = 127;

// Shows `text` modally and returns the button pressed. A `helpId` other than 0 makes
// 0x30000 + helpId the application's help context while the box is open. Takes no memory of
// its own, so that it can tell of memory running out.
int ShowAppMessage(const char* text, UINT style, UINT helpId) noexcept;

// The same with the text of string `textId`; the help id defaults to the string id.
int ShowAppMessage(UINT textId, UINT style = MB_OK, UINT helpId = static_cast<UINT>(-1));

// Template `templateId` from the string table with "%1" and "%2" replaced.
std::string FormatPlaceholders(UINT templateId, std::string_view first, std::string_view second);

// Tells the user about the exception being handled; call it from a catch block. The text is the
// failure's own when it has one, "Out of memory." for want of memory, else string `fallbackId`.
void ReportFailure(UINT style, UINT fallbackId) noexcept;

} // namespace framework
