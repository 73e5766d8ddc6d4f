// Cuts a filled area into convex pieces, the only shape a slide's fill
// record holds: the slide writer hands it rings, the fill rule and the work
// it may spend, and writes whatever pieces come back.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace qorvan::slide {

struct PointF {
    double x = 0;
    double y = 0;
};

// The work one slide may spend cutting areas into pieces: a step for each
// edge in each band between vertex heights and for each crossing of two
// edges, 64 for each piece made. A pile of 1000 overlapping quadrilaterals
// takes about a tenth of it.
inline constexpr std::size_t MAX_FILL_CUT_WORK = std::size_t { 1 } << 24;

using Piece = std::array<PointF, 4>; // trapezoid corners, lower edge first

// A simple convex ring, which a fill can hold as it stands.
bool isConvexRing(const std::vector<PointF>& ring);

// The area inside the rings (each implicitly closed) under the even-odd or
// the non-zero rule, as trapezoids appended to out. Horizontal and
// non-finite edges bound nothing and are left out. Each step spends from
// work; false when it ran out first, out then being incomplete.
bool cutIntoTrapezoids(const std::vector<const std::vector<PointF>*>& rings, bool evenOdd, std::size_t& work,
    std::vector<Piece>& out);

} // namespace qorvan::slide
