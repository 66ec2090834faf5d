#pragma once

// The string-table entries of the framework's own messages. Plain #defines, because the
// resource compiler reads this file too.

#define IDS_UNSUPPORTED_OPERATION 0xF021
#define IDS_OUT_OF_MEMORY 0xF023
// Kept among the framework's texts, though nothing shows it: the program offers no help, since
// no help file belongs to it and Windows 10 and 11 have no viewer for one.
#define IDS_HELP_LAUNCH_FAILED 0xF107
#define IDS_INTERNAL_ERROR 0xF108
#define IDS_PARSE_INTEGER 0xF110
#define IDS_PARSE_INTEGER_RANGE 0xF112
