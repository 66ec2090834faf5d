#include "framework/rules/placement.h"

namespace framework {

namespace {

// Centre of [low, high) less half the extent, each division truncating toward zero
// as C's integer division does (a negative work area must not round the other way).
std::int32_t CentredStart(std::int32_t low, std::int32_t high, std::int32_t extent) {
    const auto middle = (static_cast<std::int64_t>(low) + high) / 2;
    return static_cast<std::int32_t>(middle - extent / 2);
}

std::int32_t ClampStart(std::int32_t start, std::int32_t extent, std::int32_t low,
                        std::int32_t high) {
    // Right or bottom edge first, so that the left or top edge has the last word.
    if (static_cast<std::int64_t>(start) + extent > high) {
        start = static_cast<std::int32_t>(static_cast<std::int64_t>(high) - extent);
    }
    if (start < low) {
        start = low;
    }
    return start;
}

} // namespace

Position CenteredPosition(const Rectangle& window, const Rectangle& workArea) {
    const std::int32_t width = window.Width();
    const std::int32_t height = window.Height();
    const std::int32_t x = CentredStart(workArea.left, workArea.right, width);
    const std::int32_t y = CentredStart(workArea.top, workArea.bottom, height);
    return {ClampStart(x, width, workArea.left, workArea.right),
            ClampStart(y, height, workArea.top, workArea.bottom)};
}

} // namespace framework
