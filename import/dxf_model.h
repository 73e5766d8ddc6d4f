// A DXF drawing as the reader leaves it and the drawing step takes it: its
// entities (one struct for every type, the fields each type uses), layers and
// blocks, and the 3D maps that put an entity's own coordinates into plan view.
#pragma once

#include <cmath>
#include <map>
#include <numbers>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "import/drawing.h"

namespace qorvan::import::dxf {

constexpr double PI = std::numbers::pi;
constexpr double DEG = PI / 180;

// A 3D affine map: columns x, y, z and the origin.
struct Xf {
    Vec3 cx { 1, 0, 0 }, cy { 0, 1, 0 }, cz { 0, 0, 1 }, o { 0, 0, 0 };

    Vec3 apply(Vec3 p) const { return cx * p.x + cy * p.y + cz * p.z + o; }
    Vec3 applyDir(Vec3 p) const { return cx * p.x + cy * p.y + cz * p.z; }
    Xf then(const Xf& inner) const // this after inner
    {
        return { applyDir(inner.cx), applyDir(inner.cy), applyDir(inner.cz), apply(inner.o) };
    }
    // No length grows by more than this (Frobenius bound of the linear part).
    double scale() const { return std::sqrt(len(cx) * len(cx) + len(cy) * len(cy) + len(cz) * len(cz)); }

    static Xf translate(Vec3 t) { return { { 1, 0, 0 }, { 0, 1, 0 }, { 0, 0, 1 }, t }; }
    static Xf rotateZ(double a)
    {
        return { { std::cos(a), std::sin(a), 0 }, { -std::sin(a), std::cos(a), 0 }, { 0, 0, 1 }, {} };
    }
    static Xf scaling(double sx, double sy, double sz)
    {
        return { { sx, 0, 0 }, { 0, sy, 0 }, { 0, 0, sz }, {} };
    }
    // The object coordinate system of an extrusion direction, by the
    // format's arbitrary axis rule.
    static Xf ocs(Vec3 n)
    {
        n = unit(n);
        if (std::fabs(n.x - 0) < 1e-12 && std::fabs(n.y) < 1e-12 && n.z > 0) return {};
        const Vec3 ax = unit(std::fabs(n.x) < 1.0 / 64 && std::fabs(n.y) < 1.0 / 64 ? crossV({ 0, 1, 0 }, n)
                                                                                    : crossV({ 0, 0, 1 }, n));
        const Vec3 ay = unit(crossV(n, ax));
        return { ax, ay, n, {} };
    }
};

enum class Kind {
    Line,
    Point,
    Circle,
    Arc,
    Ellipse,
    Polyline,
    Spline,
    Solid,
    Face,
    Hatch,
    Insert,
    Dimension,
    Text,
    MText,
    Group, // the children drawn as one entity's (a leader's line and arrow, a multiline's lines)
    Xline, // pts[0] through, pts[1] along; clipped to the drawing's extents (a ray starts at pts[0])
    Leader, // a path of pts, an arrowhead at the first when flags is 1
    Area // a filled polygon of pts (a wipeout, drawn in the background colour)
};

struct HatchEdge {
    int type = 1; // 1 line, 2 circular arc, 3 elliptic arc, 4 spline, 0 polyline piece with bulge
    Vec3 a, b; // line ends; centre and (elliptic) major axis end
    double radius = 0, start = 0, end = 0, ratio = 1, bulge = 0;
    bool ccw = true;
    std::vector<Vec3> control;
    std::vector<double> knots, weights;
    int degree = 3;
};

// One family of a hatch pattern's parallel lines, in the hatch's own plane:
// the line through `base` at `angle`, repeated every `offset`, drawn as
// `dashes` (positive on, negative off, 0 a dot; empty: solid).
struct PatternLine {
    double angle = 0;
    Vec2 base, offset;
    std::vector<double> dashes;
};

struct Entity {
    Kind kind = Kind::Line;
    int layer = 0;
    int colour = 256; // 0 by block, 256 by layer
    long trueColour = -1;
    Vec3 extrusion { 0, 0, 1 };
    std::vector<Vec3> pts;
    std::vector<double> bulges;
    bool closed = false;
    bool ocs = true;
    double r = 0, a0 = 0, a1 = 0, ratio = 1; // radius or height, angles or params
    double sx = 1, sy = 1, sz = 1, rotation = 0, width = 1, oblique = 0, spacing = 1;
    int cols = 1, rows = 1, hjust = 0, vjust = 0, flags = 0, degree = 3;
    double colSpacing = 0, rowSpacing = 0;
    bool hasAlign = false;
    std::vector<double> knots, weights;
    std::vector<Vec3> fit;
    std::optional<Vec3> startTangent, endTangent; // of a spline through fit points
    std::vector<std::vector<HatchEdge>> paths;
    std::vector<int> pathFlags; // per path: 1 external, 16 outermost (a first island)
    bool solid = false;
    std::string text;
    std::string block;
    std::string pattern;
    std::vector<Entity> children; // attributes of an insert; a group's members
    std::string linetype; // empty: by layer
    double linetypeScale = 1;
    // Polyline widths, per vertex (start, end); empty when the polyline has none.
    std::vector<std::pair<double, double>> widths;
    std::vector<PatternLine> patternLines; // a pattern hatch's families of lines
    bool ray = false; // an Xline that starts at its point
    bool invisible = false;
    bool definition = false; // an attribute definition (drawn only outside blocks)
};

struct Layer {
    std::string name;
    std::string linetype;
    int colour = 7;
    long trueColour = -1;
    bool off = false, frozen = false;
};

struct Block {
    Vec3 base;
    std::vector<Entity> entities;
};

// A linetype's dashes (positive on, negative off, 0 a dot), in drawing units.
struct Linetype {
    std::vector<double> dashes;
};

// The header variables the drawing uses.
struct Header {
    double ltscale = 1;
    double arrowSize = 0.18; // $DIMASZ times $DIMSCALE
    double dimScale = 1;
    std::string codepage; // $DWGCODEPAGE, upper case
};

// What reading a file gives.
struct Model {
    std::size_t sections = 0; // how many the file holds, empty ones too
    Header header;
    std::map<std::string, Linetype> linetypes; // by upper-case name
    std::vector<Layer> layers;
    std::map<std::string, Block> blocks; // by upper-case name
    std::vector<Entity> entities; // the model space's
    std::vector<std::string> warnings;
    Extents limits; // the header's $LIMMIN and $LIMMAX, when it gives both
};

} // namespace qorvan::import::dxf
