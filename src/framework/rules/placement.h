#pragma once

// Where a window goes when it is centred: pure arithmetic, shared by the modal run
// and its tests.

#include <cstdint>

namespace framework {

struct Rectangle {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    std::int32_t Width() const { return right - left; }
    std::int32_t Height() const { return bottom - top; }
};

struct Position {
    std::int32_t x = 0;
    std::int32_t y = 0;

    friend bool operator==(const Position&, const Position&) = default;
};

// Centres `window` in `workArea`, then pulls it back inside where it sticks out; when it is
// larger than the work area its left and top edges win.
Position CenteredPosition(const Rectangle& window, const Rectangle& workArea);

} // namespace framework
