#pragma once

#include "harness/registry.h"
#include "params/driver_parameters.h"

#include <cstdint>
#include <ostream>

namespace params {

// GoogleTest prints records with this; in hex, where poison and clipped bytes read best.
inline void PrintTo(const DriverParameters& record, std::ostream* out) {
    *out << std::hex << std::showbase << "{max adapter " << record.nMaxAdapter << ", start number "
         << record.nStartNum << ", ext mode " << record.nExtMode0 << '/' << record.nExtMode1 << '}'
         << std::dec << std::noshowbase;
}

} // namespace params

namespace testsupport {

// The driver's keys holding the record's four numbers as REG_DWORD.
inline DriverKeys KeysOf(const params::DriverParameters& record) {
    const auto dword = [](std::int32_t value) { return Dword(static_cast<std::uint32_t>(value)); };
    return {.maxAdapter = dword(record.nMaxAdapter),
            .startNum = dword(record.nStartNum),
            .extMode0 = dword(record.nExtMode0),
            .extMode1 = dword(record.nExtMode1)};
}

} // namespace testsupport
