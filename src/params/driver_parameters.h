#pragma once

#include <cstdint>

namespace params {

// The driver's four settings, each a signed 32-bit number as the driver keeps it. The dialog
// fills one from its fields before each call and copies the fields back after loading.
struct DriverParameters {
    std::int32_t nMaxAdapter = 0; // adapters the driver detected; the driver's to set
    std::int32_t nStartNum = 0;   // COM port number of the first port of adapter 1
    std::int32_t nExtMode0 = 0;   // cable extended mode of adapter 1: 0 off, 1 on
    std::int32_t nExtMode1 = 0;   // cable extended mode of adapter 2: 0 off, 1 on

    friend bool operator==(const DriverParameters&, const DriverParameters&) = default;
};

} // namespace params
