// The path data grammar, read in one pass with the position of the first
// fault kept for the warning the user sees.
#include "import/svg_path.h"

#include <charconv>
#include <cmath>
#include <numbers>

#include "import/svg_number.h"

namespace qorvan::import::svg {
namespace {

    bool isWsp(char c)
    {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
    }

    // Arguments per command letter, upper case.
    int argCount(char upper)
    {
        switch (upper) {
        case 'M':
        case 'L':
        case 'T':
            return 2;
        case 'H':
        case 'V':
            return 1;
        case 'C':
            return 6;
        case 'S':
        case 'Q':
            return 4;
        case 'A':
            return 7;
        case 'Z':
            return 0;
        default:
            return -1;
        }
    }

    struct Parser {
        Parser(std::string_view text, std::vector<PathCommand>& sink, std::size_t bound)
            : d(text)
            , out(sink)
            , limit(bound)
        {
        }

        std::string_view d;
        std::vector<PathCommand>& out;
        std::size_t limit;
        std::size_t pos = 0;
        PathError error;

        Vec2 current;
        Vec2 start;
        // The second control point of the last cubic or the control point of
        // the last quadratic, for the smooth forms; valid only right after one.
        Vec2 lastControl;
        char lastUpper = 0;

        void skipWsp()
        {
            while (pos < d.size() && isWsp(d[pos]))
                ++pos;
        }

        bool fail(std::string reason)
        {
            if (error.ok()) {
                error.offset = pos;
                error.reason = std::move(reason);
            }
            return false;
        }

        bool tooMany()
        {
            error.bound = error.ok();
            return fail("more than " + std::to_string(limit) + " segments in one path");
        }

        // True when the bound is reached, with the error set.
        bool full() { return out.size() >= limit && !tooMany(); }

        void push(PathCommand::Kind kind, Vec2 a, Vec2 b = {}, Vec2 c = {})
        {
            PathCommand cmd;
            cmd.kind = kind;
            cmd.p[0] = a;
            cmd.p[1] = b;
            cmd.p[2] = c;
            out.push_back(cmd);
        }

        bool number(double& v)
        {
            std::size_t used = 0;
            switch (scanNumber(d.substr(pos), v, used)) {
            case NumberScan::Ok:
                pos += used;
                return true;
            case NumberScan::OutOfRange:
                return fail("number out of range");
            case NumberScan::None:
                break;
            }
            return fail("expected a number");
        }

        bool flag(bool& v)
        {
            if (pos < d.size() && (d[pos] == '0' || d[pos] == '1')) {
                v = d[pos++] == '1';
                return true;
            }
            return fail("expected an arc flag (0 or 1)");
        }

        // Between two arguments: optional white space with at most one comma.
        void commaWsp()
        {
            skipWsp();
            if (pos < d.size() && d[pos] == ',') {
                ++pos;
                skipWsp();
            }
        }

        bool args(char upper, double* a)
        {
            const int n = argCount(upper);
            for (int i = 0; i < n; ++i) {
                if (i > 0) commaWsp();
                if (upper == 'A' && (i == 3 || i == 4)) {
                    bool f = false;
                    if (!flag(f)) return false;
                    a[i] = f ? 1 : 0;
                } else if (!number(a[i])) {
                    return false;
                }
            }
            return true;
        }

        bool moveIfClosed()
        {
            // A drawing command right after a close starts a new subpath at the
            // closed one's start.
            if (lastUpper == 'Z') {
                if (full()) return false;
                push(PathCommand::Move, start);
            }
            return !full();
        }

        static bool finite(Vec2 p) { return std::isfinite(p.x) && std::isfinite(p.y); }

        bool apply(char letter, const double* a)
        {
            const std::size_t before = out.size();
            const Vec2 was = current;
            if (!applyCommand(letter, a)) return false;
            // Sums of large relative steps can overflow even where every
            // number read was finite.
            bool ok = finite(current);
            for (std::size_t i = before; i < out.size() && ok; ++i)
                ok = finite(out[i].p[0]) && finite(out[i].p[1]) && finite(out[i].p[2]);
            if (ok) return true;
            out.resize(before);
            current = was;
            return fail("coordinate out of range");
        }

        bool applyCommand(char letter, const double* a)
        {
            const bool rel = letter >= 'a';
            const char upper = static_cast<char>(rel ? letter - 32 : letter);
            const Vec2 base = rel ? current : Vec2 {};
            auto at = [&](int i) { return Vec2 { base.x + a[i], base.y + a[i + 1] }; };
            if (full()) return false;
            if (upper != 'M' && upper != 'Z' && !moveIfClosed()) return false;
            Vec2 control = current;
            switch (upper) {
            case 'M':
                current = start = at(0);
                push(PathCommand::Move, current);
                break;
            case 'L':
                current = at(0);
                push(PathCommand::Line, current);
                break;
            case 'H':
                current.x = base.x + a[0];
                push(PathCommand::Line, current);
                break;
            case 'V':
                current.y = (rel ? current.y : 0) + a[0];
                push(PathCommand::Line, current);
                break;
            case 'C':
                control = at(2);
                push(PathCommand::Cubic, at(0), control, at(4));
                current = at(4);
                break;
            case 'S': {
                const Vec2 first = (lastUpper == 'C' || lastUpper == 'S')
                    ? Vec2 { 2 * current.x - lastControl.x, 2 * current.y - lastControl.y }
                    : current;
                control = at(0);
                push(PathCommand::Cubic, first, control, at(2));
                current = at(2);
                break;
            }
            case 'Q':
            case 'T': {
                const Vec2 q = upper == 'Q' ? at(0)
                    : (lastUpper == 'Q' || lastUpper == 'T')
                    ? Vec2 { 2 * current.x - lastControl.x, 2 * current.y - lastControl.y }
                    : current;
                const Vec2 end = upper == 'Q' ? at(2) : at(0);
                // Degree elevation: the cubic's controls lie two thirds of the
                // way from each end to the quadratic's control.
                push(PathCommand::Cubic,
                    Vec2 { current.x + 2.0 / 3 * (q.x - current.x), current.y + 2.0 / 3 * (q.y - current.y) },
                    Vec2 { end.x + 2.0 / 3 * (q.x - end.x), end.y + 2.0 / 3 * (q.y - end.y) }, end);
                control = q;
                current = end;
                break;
            }
            case 'A': {
                const Vec2 end = at(5);
                const std::size_t first = out.size();
                appendArc(out, current, a[0], a[1], a[2], a[3] != 0, a[4] != 0, end);
                if (out.size() > limit) {
                    out.resize(first);
                    return tooMany();
                }
                current = end;
                break;
            }
            case 'Z':
                if (lastUpper != 'Z') push(PathCommand::Close, start);
                current = start;
                break;
            }
            lastControl = control;
            lastUpper = upper;
            return true;
        }

        bool atNumberStart() const
        {
            if (pos >= d.size()) return false;
            const char c = d[pos];
            return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+';
        }

        PathError run()
        {
            skipWsp();
            if (pos >= d.size()) return error;
            if (d[pos] != 'M' && d[pos] != 'm') {
                fail("path data must begin with a move command (M or m)");
                return error;
            }
            while (true) {
                skipWsp();
                if (pos >= d.size()) break;
                char letter = d[pos];
                const char upper = static_cast<char>(letter >= 'a' && letter <= 'z' ? letter - 32 : letter);
                if (argCount(upper) < 0
                    || !((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z'))) {
                    fail("expected a command letter");
                    break;
                }
                ++pos;
                skipWsp();
                double a[7] = {};
                if (upper == 'Z') {
                    if (!apply(letter, a)) break;
                    continue;
                }
                if (!args(upper, a) || !apply(letter, a)) break;
                // Further argument sets repeat the command; after a move they
                // are lines of the same case.
                if (upper == 'M') letter = letter == 'M' ? 'L' : 'l';
                bool stop = false;
                while (!stop) {
                    const std::size_t mark = pos;
                    skipWsp();
                    bool comma = false;
                    if (pos < d.size() && d[pos] == ',') {
                        comma = true;
                        ++pos;
                        skipWsp();
                    }
                    if (!atNumberStart()) {
                        if (comma) {
                            fail("expected a number");
                            stop = true;
                            break;
                        }
                        pos = mark;
                        break;
                    }
                    if (!args(upper, a) || !apply(letter, a)) stop = true;
                }
                if (stop) break;
            }
            return error;
        }
    };

} // namespace

PathError parsePathData(std::string_view d, std::vector<PathCommand>& out, std::size_t maxCommands)
{
    Parser parser(d, out, out.size() + maxCommands);
    return parser.run();
}

void appendArc(std::vector<PathCommand>& out, Vec2 from, double rx, double ry, double xAxisRotationDegrees,
    bool largeArc, bool sweep, Vec2 to)
{
    if (from.x == to.x && from.y == to.y) return;
    rx = std::fabs(rx);
    ry = std::fabs(ry);
    PathCommand line;
    line.kind = PathCommand::Line;
    line.p[0] = to;
    // An ellipse too large to compute with is, between two finite ends,
    // indistinguishable from its chord.
    if (rx == 0 || ry == 0 || !std::isfinite(rx * rx * ry * ry)) {
        out.push_back(line);
        return;
    }
    const double phi = xAxisRotationDegrees * std::numbers::pi / 180;
    const double cosPhi = std::cos(phi), sinPhi = std::sin(phi);
    // The endpoint-to-centre conversion: work in the frame where the
    // ellipse's axes are the coordinate axes and the chord's midpoint is
    // the origin.
    const double dx = (from.x - to.x) / 2, dy = (from.y - to.y) / 2;
    const double x1 = cosPhi * dx + sinPhi * dy;
    const double y1 = -sinPhi * dx + cosPhi * dy;
    const double lambda = (x1 * x1) / (rx * rx) + (y1 * y1) / (ry * ry);
    if (lambda > 1) {
        // Radii too small to reach: scaled up until the arc is a half ellipse.
        const double s = std::sqrt(lambda);
        rx *= s;
        ry *= s;
    }
    const double num = rx * rx * ry * ry - rx * rx * y1 * y1 - ry * ry * x1 * x1;
    const double den = rx * rx * y1 * y1 + ry * ry * x1 * x1;
    double coef = den > 0 && num > 0 ? std::sqrt(num / den) : 0;
    if (largeArc == sweep) coef = -coef;
    const double cx1 = coef * rx * y1 / ry;
    const double cy1 = -coef * ry * x1 / rx;
    const double cx = cosPhi * cx1 - sinPhi * cy1 + (from.x + to.x) / 2;
    const double cy = sinPhi * cx1 + cosPhi * cy1 + (from.y + to.y) / 2;
    const double theta1 = std::atan2((y1 - cy1) / ry, (x1 - cx1) / rx);
    double delta = std::atan2((-y1 - cy1) / ry, (-x1 - cx1) / rx) - theta1;
    if (sweep && delta < 0) delta += 2 * std::numbers::pi;
    if (!sweep && delta > 0) delta -= 2 * std::numbers::pi;
    if (!std::isfinite(delta) || !std::isfinite(cx) || !std::isfinite(cy)) {
        out.push_back(line);
        return;
    }
    const int pieces
        = std::max(1, static_cast<int>(std::ceil(std::fabs(delta) / (std::numbers::pi / 2) - 1e-9)));
    const double step = delta / pieces;
    const double k = 4.0 / 3 * std::tan(step / 4);
    auto point = [&](double t) {
        const double ex = rx * std::cos(t), ey = ry * std::sin(t);
        return Vec2 { cx + cosPhi * ex - sinPhi * ey, cy + sinPhi * ex + cosPhi * ey };
    };
    auto tangent = [&](double t) {
        const double ex = -rx * std::sin(t), ey = ry * std::cos(t);
        return Vec2 { cosPhi * ex - sinPhi * ey, sinPhi * ex + cosPhi * ey };
    };
    double t = theta1;
    Vec2 p0 = from;
    for (int i = 0; i < pieces; ++i) {
        const double t2 = t + step;
        const Vec2 d0 = tangent(t), d1 = tangent(t2);
        // The last end is the given point exactly, so rounding never opens
        // a gap before the next command.
        const Vec2 p3 = i + 1 == pieces ? to : point(t2);
        PathCommand c;
        c.kind = PathCommand::Cubic;
        c.p[0] = { p0.x + k * d0.x, p0.y + k * d0.y };
        c.p[1] = { p3.x - k * d1.x, p3.y - k * d1.y };
        c.p[2] = p3;
        c.continues = i > 0;
        out.push_back(c);
        p0 = p3;
        t = t2;
    }
}

} // namespace qorvan::import::svg
