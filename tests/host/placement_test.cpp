#include "framework/rules/placement.h"

#include <gtest/gtest.h>

namespace {

using framework::CenteredPosition;
using framework::Position;
using framework::Rectangle;

struct PlacementCase {
    const char* why;
    Rectangle window;
    Rectangle workArea;
    Position expected;
};

const PlacementCase kCases[] = {
    {"even sizes centre exactly", {0, 0, 200, 100}, {0, 0, 1000, 800}, {400, 350}},
    {"odd window width: half of it truncates", {0, 0, 201, 101}, {0, 0, 1000, 800}, {400, 350}},
    {"odd work area: its middle truncates", {0, 0, 200, 100}, {0, 0, 1001, 801}, {400, 350}},
    {"the window's own position does not matter",
     {500, 600, 700, 700},
     {0, 0, 1000, 800},
     {400, 350}},
    {"work area below a top task bar", {0, 0, 200, 100}, {0, 40, 1000, 800}, {400, 370}},
    {"negative work area (monitor left of the primary) truncates toward zero",
     {0, 0, 200, 100},
     {-1001, -801, 0, 0},
     {-600, -450}},
    {"wider than the work area: left edge wins", {0, 0, 1200, 100}, {0, 0, 1000, 800}, {0, 350}},
    {"taller than the work area: top edge wins", {0, 0, 200, 900}, {0, 30, 1000, 800}, {400, 30}},
    {"larger both ways on an offset work area",
     {0, 0, 3000, 3000},
     {100, 50, 1100, 850},
     {100, 50}},
};

TEST(CenteredPosition, CentresInTheWorkAreaAndClampsIntoIt) {
    for (const PlacementCase& row : kCases) {
        const Position got = CenteredPosition(row.window, row.workArea);
        EXPECT_EQ(got, row.expected) << row.why << ": got (" << got.x << ", " << got.y << ")";
    }
}

} // namespace
