#pragma once

// Ids the framework itself uses: its command ids and the string-table entries of its
// own messages. Plain #defines, because the resource compiler reads this file too.

// The help command, sent to the application when the user asks for help (F1).
#define ID_HELP 0xE146

// Help contexts: a dialog answers 0x20000 + its template id; an application-level
// message box with a help id sets 0x30000 + that id while it is open.
#define HID_BASE_RESOURCE 0x20000
#define HID_BASE_PROMPT 0x30000

// Texts of the framework's own messages.
#define IDS_UNSUPPORTED_OPERATION 0xF021
#define IDS_OUT_OF_MEMORY 0xF023
#define IDS_HELP_LAUNCH_FAILED 0xF107
#define IDS_INTERNAL_ERROR 0xF108
#define IDS_PARSE_INTEGER 0xF110
#define IDS_PARSE_INTEGER_RANGE 0xF112
