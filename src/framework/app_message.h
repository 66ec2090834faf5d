#pragma once

// Application-level message boxes: owned by the application's main window, captioned
// with the application's name, with the exclamation icon unless the caller chose one.

#include <windows.h>

#include <exception>
#include <string>
#include <string_view>

namespace framework {

// Shows `text` modally and returns the button pressed. A `helpId` other than 0 makes
// 0x30000 + helpId the application's help context while the box is open.
int ShowAppMessage(std::string_view text, UINT style, UINT helpId);

// The same with the text of string `textId`; the help id defaults to the string id.
int ShowAppMessage(UINT textId, UINT style = MB_OK, UINT helpId = static_cast<UINT>(-1));

// Template `templateId` from the string table with "%1" and "%2" replaced.
std::string FormatPlaceholders(UINT templateId, std::string_view first, std::string_view second);

// Tells the user about `failure`: its own text when it has one, else string `fallbackId`.
void ReportFailure(const std::exception_ptr& failure, UINT style, UINT fallbackId);

} // namespace framework
