#include "import/svg_transform.h"

#include <cmath>
#include <numbers>

#include "import/svg_number.h"

namespace qorvan::import::svg {

Matrix Matrix::operator*(const Matrix& m) const
{
    return { a * m.a + c * m.b, b * m.a + d * m.b, a * m.c + c * m.d, b * m.c + d * m.d,
        a * m.e + c * m.f + e, b * m.e + d * m.f + f };
}

double Matrix::meanScale() const
{
    return std::sqrt(std::fabs(a * d - b * c));
}

Matrix Matrix::rotate(double degrees)
{
    const double r = degrees * std::numbers::pi / 180;
    const double cs = std::cos(r), sn = std::sin(r);
    return { cs, sn, -sn, cs, 0, 0 };
}

namespace {

    bool isWsp(char ch)
    {
        return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\f';
    }

} // namespace

bool parseTransform(std::string_view text, Matrix& result, std::string& error)
{
    Matrix m;
    std::size_t pos = 0;
    auto skipWsp = [&] {
        while (pos < text.size() && isWsp(text[pos]))
            ++pos;
    };
    auto fail = [&](const std::string& why) {
        error = why + " at offset " + std::to_string(pos);
        result = Matrix {};
        return false;
    };
    struct Kind {
        std::string_view name;
        int minArgs, maxArgs;
    };
    static constexpr Kind kinds[] = { { "matrix", 6, 6 }, { "translate", 1, 2 }, { "scale", 1, 2 },
        { "rotate", 1, 3 }, { "skewX", 1, 1 }, { "skewY", 1, 1 } };
    skipWsp();
    while (pos < text.size()) {
        const Kind* kind = nullptr;
        for (const Kind& k : kinds)
            if (text.substr(pos, k.name.size()) == k.name) kind = &k;
        if (!kind) return fail("expected a transform name");
        pos += kind->name.size();
        skipWsp();
        if (pos >= text.size() || text[pos] != '(') return fail("expected \"(\"");
        ++pos;
        double v[6] = {};
        int n = 0;
        skipWsp();
        while (pos < text.size() && text[pos] != ')') {
            if (n > 0 && text[pos] == ',') {
                ++pos;
                skipWsp();
            }
            if (n == kind->maxArgs) return fail("too many numbers");
            std::size_t used = 0;
            const NumberScan scan = scanNumber(text.substr(pos), v[n], used);
            if (scan == NumberScan::OutOfRange) return fail("number out of range");
            if (scan != NumberScan::Ok) return fail("expected a number");
            ++n;
            pos += used;
            skipWsp();
        }
        if (pos >= text.size()) return fail("expected \")\"");
        ++pos;
        if (n < kind->minArgs || (kind->name == "rotate" && n == 2)) return fail("wrong number of values");
        Matrix t;
        if (kind->name == "matrix") {
            t = { v[0], v[1], v[2], v[3], v[4], v[5] };
        } else if (kind->name == "translate") {
            t = Matrix::translate(v[0], n > 1 ? v[1] : 0);
        } else if (kind->name == "scale") {
            t = Matrix::scale(v[0], n > 1 ? v[1] : v[0]);
        } else if (kind->name == "rotate") {
            t = Matrix::rotate(v[0]);
            if (n == 3) t = Matrix::translate(v[1], v[2]) * t * Matrix::translate(-v[1], -v[2]);
        } else if (kind->name == "skewX") {
            t.c = std::tan(v[0] * std::numbers::pi / 180);
        } else {
            t.b = std::tan(v[0] * std::numbers::pi / 180);
        }
        m = m * t;
        skipWsp();
        if (pos < text.size() && text[pos] == ',') {
            ++pos;
            skipWsp();
            if (pos >= text.size()) return fail("expected a transform name");
        }
    }
    result = m;
    return true;
}

} // namespace qorvan::import::svg
