#pragma once

#include "params/driver_parameters.h"

#include <functional>

namespace params {

// What loading could not read.
enum class Unreadable {
    ServiceKey,    // the service key does not open
    ParametersKey, // the parameters key does not open
    Value,         // StartNum0, ExtMode0 or ExtMode1
};

// Reads the driver's settings from the registry into `parameters`, which comes in holding the
// caller's current values. Each key or value that cannot be read is handed to `report` as soon
// as it is found, and loading goes on only when `report` returns, so that each notice the caller
// shows is closed before the next step runs; MaxAdapter is the exception and silently reads as
// 0. A field whose value cannot be read keeps its content, except the start number, which then
// reads as 0. A value shorter than four bytes fills only the low-order bytes.
void LoadDriverParameters(DriverParameters& parameters,
                          const std::function<void(Unreadable)>& report);

// What storing did to the registry.
enum class StoreResult {
    Stored,       // all three values written
    Unchanged,    // nothing written, or all that was written put back as it was
    PartlyStored, // a write failed and a value already written could not be put back
};

// Writes the start number and both extended modes, in that order, as REG_DWORD values of the
// existing parameters key; the max adapter field is the driver's and never written. Shows
// nothing. All or nothing: when a write fails, the values written before it get back their
// former type and bytes (or are removed, when they did not exist), and when what they held
// cannot be read first, nothing is written at all. The caller must tell the user that settings
// were saved only on Stored, and must not hide PartlyStored.
[[nodiscard]] StoreResult StoreDriverParameters(const DriverParameters& parameters);

} // namespace params
