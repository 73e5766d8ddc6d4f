// What every importer (DXF, SVG) hands to the slide writer: a drawing made of
// ordered shapes in the drawing's own units, y growing upward, with every
// curve already flattened into points.
//
// Importers run in two steps so that curves come out at the slide's pixel
// grid without a second parse:
//   1. open the file and read it into the importer's own form; a Source then
//      answers cheap extents (boxes of control points, circles and arcs taken
//      whole) that hold everything it will draw;
//   2. the caller fits those extents into the slide (size, margin) and asks
//      the Source for the shapes at the resulting Grid: one pixel is
//      `unitsPerPixel` drawing units, and no flattened chord strays from its
//      curve by more than `tolerance` (half a pixel).
// Failures are returned, never thrown: the message names the file and the
// reason. Things the importer skipped but could read past (an unknown entity,
// text without a font) are warnings beside a drawing that still succeeds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qorvan::import {

struct Vec2 {
    double x = 0;
    double y = 0;
};

// A point in a drawing's 3D space (DXF): everything drawn is seen from
// above, so only x and y reach a Shape.
struct Vec3 {
    double x = 0, y = 0, z = 0;
};

inline Vec3 operator+(Vec3 a, Vec3 b)
{
    return { a.x + b.x, a.y + b.y, a.z + b.z };
}
inline Vec3 operator*(Vec3 a, double k)
{
    return { a.x * k, a.y * k, a.z * k };
}
inline Vec3 crossV(Vec3 a, Vec3 b)
{
    return { a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x };
}
double len(Vec3 a);
// a scaled to length 1; the z axis for a zero vector.
Vec3 unit(Vec3 a);

// One polyline. A closed ring joins its last point to its first; the first
// point is not repeated at the end.
struct Ring {
    std::vector<Vec2> points;
    bool closed = false;
};

// Which areas of a filled shape with several rings (holes, overlaps) are
// inside: NonZero counts the rings' directions, EvenOdd counts crossings.
enum class FillRule { NonZero, EvenOdd };

// A slide draws one-pixel lines and filled polygons in palette colours, so a
// shape is either stroked (each ring as lines, open or closed) or filled (the
// rings bound one area under fillRule; open rings are closed for filling).
struct Shape {
    std::vector<Ring> rings;
    bool filled = false;
    FillRule fillRule = FillRule::NonZero;
    std::uint8_t colour = 7; // slide colour number 0..255
};

struct Extents {
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    bool empty = true;

    void add(Vec2 p);
    void add(const Extents& other);
    double width() const { return empty ? 0 : maxX - minX; }
    double height() const { return empty ? 0 : maxY - minY; }
};

struct Drawing {
    std::vector<Shape> shapes; // in drawing order: later shapes paint over earlier
    std::vector<std::string> warnings;

    Extents extents() const; // of the points actually drawn
    std::size_t pointCount() const;
};

struct Grid {
    double unitsPerPixel = 1;
    double tolerance = 0.5; // unitsPerPixel / 2 for the slide's own grid
};

// The grid that puts `extents` onto `pixels` steps along its longer side:
// what an importer uses when asked for shapes before the caller knows better.
Grid gridFor(const Extents& extents, double pixels);

// Bounds against hostile drawings, one set for every importer; docs/cli.md
// states the same numbers. Reaching one is an error that names it, not a
// silently cut drawing.
struct Limits {
    std::uint64_t maxFileBytes = 256ull << 20; // input read at most this far
    std::size_t maxEntities = 2'000'000; // shapes produced
    std::size_t maxPoints = 20'000'000; // points across all shapes
    int maxDepth = 32; // nesting of blocks, groups, references
    std::size_t maxSegmentsPerCurve = 10'000; // one flattened curve, whatever its tolerance
};

// What the user asked of the import, beyond the grid.
struct Options {
    std::vector<std::string> layers; // draw only these layers (empty: all)
    std::vector<std::string> excludeLayers; // never these
    double strokeWidthPixels = 3; // wider strokes become fills
    bool frameLimits = false; // DXF: the slide shows the drawing's limits whole, not what it draws
    Limits limits;
};

class Source {
public:
    virtual ~Source() = default;
    // Holds every point draw() can produce at any grid.
    virtual Extents extents() const = 0;
    // Shapes at the grid; false with `error` set when a bound is reached.
    virtual bool draw(const Grid& grid, Drawing& out, std::string& error) const = 0;
    // Warnings found while reading, before any draw().
    virtual const std::vector<std::string>& warnings() const = 0;
    // True when extents() is the drawing's own frame (an SVG viewport)
    // rather than a bound on what it draws: the slide then shows that
    // frame, empty borders included, as the drawing program showed it.
    virtual bool extentsAreFrame() const { return false; }
};

struct OpenResult {
    std::unique_ptr<Source> source; // null on failure
    std::string error; // "FILE: reason" on failure
};

// Flattening shared by the importers. Each appends to `out` the points after
// the start point (the caller has the start already), so pieces chain.

// How many equal steps keep a circular arc of `radius` through `sweep`
// radians within `tolerance`; at least 1, at most limits' bound.
std::size_t arcSegments(double radius, double sweep, double tolerance, std::size_t maxSegments);

// Elliptical arc around centre with semi-axes rx, ry, the x semi-axis turned
// by `rotation` radians, from parameter t0 through `sweep` (signed, radians).
// Appends the start point too when includeStart is set.
void appendEllipseArc(std::vector<Vec2>& out, Vec2 centre, double rx, double ry, double rotation, double t0,
    double sweep, double tolerance, std::size_t maxSegments, bool includeStart);

// Bezier curves from p0 (not appended) to p3 / p2.
void appendCubic(
    std::vector<Vec2>& out, Vec2 p0, Vec2 p1, Vec2 p2, Vec2 p3, double tolerance, std::size_t maxSegments);
void appendQuadratic(
    std::vector<Vec2>& out, Vec2 p0, Vec2 p1, Vec2 p2, double tolerance, std::size_t maxSegments);

// A polyline's bulge from a to b (the tangent of a quarter of the arc's
// angle, positive counter-clockwise): appends the arc's points after a,
// ending exactly on b; a straight piece for a zero bulge.
void appendBulge(
    std::vector<Vec2>& out, Vec2 a, Vec2 b, double bulge, double tolerance, std::size_t maxSegments);

// Points along a (rational) B-spline of `degree` with start, within
// tolerance; knots that do not fit the control points are replaced by a
// clamped uniform vector, weights that do not fit are dropped. False when
// the data describe no curve.
bool flattenBSpline(int degree, std::vector<double> knots, const std::vector<Vec3>& control,
    std::vector<double> weights, double tolerance, std::size_t maxSegments, std::vector<Vec3>& out);

// A smooth cubic through `points` (parameters by chord length), leaving in
// the direction of startTangent and arriving along endTangent when given,
// else along the parabola through the three points at that end; the start
// included. False for fewer than two distinct points.
bool flattenFitSpline(const std::vector<Vec3>& points, std::optional<Vec3> startTangent,
    std::optional<Vec3> endTangent, double tolerance, std::size_t maxSegments, std::vector<Vec3>& out);

} // namespace qorvan::import
