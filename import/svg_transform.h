// Affine transforms of SVG: the matrix type and the transform attribute.
#pragma once

#include <string>
#include <string_view>

#include "import/drawing.h"

namespace qorvan::import::svg {

// | a c e |
// | b d f |, mapping (x, y) to (a x + c y + e, b x + d y + f).
struct Matrix {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

    Vec2 apply(Vec2 p) const { return { a * p.x + c * p.y + e, b * p.x + d * p.y + f }; }
    // This transform after `inner`: (this * inner)(p) = this(inner(p)).
    Matrix operator*(const Matrix& inner) const;
    // How much the transform scales lengths on average, for stroke widths
    // and flattening: the square root of the area scale.
    double meanScale() const;

    static Matrix translate(double x, double y) { return { 1, 0, 0, 1, x, y }; }
    static Matrix scale(double x, double y) { return { x, 0, 0, y, 0, 0 }; }
    static Matrix rotate(double degrees);
};

// Parses a transform list ("translate(10) rotate(45 5 5) ...") into m, the
// list's product. False, with m the identity, on any fault: viewers treat
// a bad transform as if the attribute were absent. error says what and
// where.
bool parseTransform(std::string_view text, Matrix& m, std::string& error);

} // namespace qorvan::import::svg
