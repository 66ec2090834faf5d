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

// Shows `text` modally and returns the button pressed. Takes no memory of its own, so that it can
// tell of memory running out.
int ShowAppMessage(const char* text, UINT style) noexcept;

// The same with the text of string `textId`.
int ShowAppMessage(UINT textId, UINT style = MB_OK);

// Template `templateId` from the string table with "%1" and "%2" replaced.
std::string FormatPlaceholders(UINT templateId, std::string_view first, std::string_view second);

// Tells the user about the exception being handled; call it from a catch block. The text is the
// failure's own when it has one, "Out of memory." for want of memory, else string `fallbackId`.
void ReportFailure(UINT style, UINT fallbackId) noexcept;

} // namespace framework
