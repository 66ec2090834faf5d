#pragma once

#include "params/driver_parameters.h"

#include <windows.h>

namespace params {

// Reads the driver's settings from the registry into `parameters`, which comes in holding the
// caller's current values. Each key or value that cannot be read is reported with a modal
// notice owned by `owner`, one after the other in a fixed order; MaxAdapter is the exception
// and silently reads as 0. A field whose value cannot be read keeps its content, except the
// start number, which then reads as 0. A value shorter than four bytes fills only the low-order
// bytes. The caller always goes on.
void LoadDriverParameters(HWND owner, DriverParameters& parameters);

// Writes the start number and both extended modes as REG_DWORD values of the existing
// parameters key; the max adapter field is the driver's and never written. Shows nothing.
// True only when the key opened and all three writes succeeded: the caller must not tell the
// user that settings were saved otherwise.
[[nodiscard]] bool StoreDriverParameters(const DriverParameters& parameters);

} // namespace params
