// Resource ids of BORVEX.EXE. Read by the resource compiler and by the C++ code.
#pragma once

#define IDR_MAINFRAME 128
#define IDD_PORTSETUP_DIALOG 102
#define IDI_ADAPTER 135

#define IDC_ADAPTER_COUNT 1005
#define IDC_START_PORT 1006
#define IDC_EXTMODE0 1018
#define IDC_EXTMODE1 1019

#define IDC_STATIC (-1)
