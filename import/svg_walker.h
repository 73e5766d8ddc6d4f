// The SVG reader's inside, shared by the files it is cut into: the opened
// document (SvgSource) and the walk that turns it into shapes at one grid
// (Walker). Only the reader includes this.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "import/drawing.h"
#include "import/stroke_font.h"
#include "import/svg_clip.h"
#include "import/svg_color.h"
#include "import/svg_css.h"
#include "import/svg_length.h"
#include "import/svg_path.h"
#include "import/svg_style.h"
#include "import/svg_transform.h"
#include "import/xml_tree.h"

namespace qorvan::import::svg {

// Paint less opaque than this is left out: a slide has no translucency, and
// drawing a faint highlight solid would hide what lies under it.
inline constexpr double MIN_ALPHA = 0.5;

struct WarningCounts {
    std::size_t translucent = 0, clipped = 0, filtered = 0, outOfRange = 0, text = 0, images = 0,
                badPaint = 0, badReference = 0, badData = 0, fineDashes = 0;
    std::string firstBadData;
};

class SvgSource : public Source {
public:
    xml::Document doc;
    std::string name;
    Options options;
    std::unordered_map<std::string, std::size_t> ids;
    StyleSheet sheet;
    std::vector<std::string> readWarnings;
    Viewport rootViewport;
    Matrix rootMatrix; // root user space to drawing units, y up
    // False only while the extents of a drawing without a size are being
    // found; after that they are its drawn extents and cut like a viewport.
    bool sized = true;
    Extents box;

    Extents extents() const override { return box; }
    bool draw(const Grid& grid, Drawing& out, std::string& error) const override;
    const std::vector<std::string>& warnings() const override { return readWarnings; }

    // The stroke font, loaded the first time text is met; null when it
    // cannot be, with fontError saying why.
    const StrokeFont* strokeFont() const
    {
        if (!fontTried) {
            fontTried = true;
            font = StrokeFont::load("futural", fontError);
        }
        return font.get();
    }
    mutable std::unique_ptr<StrokeFont> font;
    mutable bool fontTried = false;
    mutable std::string fontError;
    bool extentsAreFrame() const override { return true; }

    bool prepare(std::string& error);
};

class Walker {
public:
    Walker(const SvgSource& source, const Grid& at, Drawing& sink, std::string& failure);

    bool run();

private:
    const SvgSource& src;
    const Grid& grid;
    Drawing& out;
    std::string& error;
    std::size_t points = 0;
    std::size_t visits = 0;
    std::size_t cascade = 0; // style rules tried and declarations applied
    // The elements being drawn, from the root down through every use.
    std::vector<std::size_t> drawing;
    WarningCounts counts;
    // What the viewports around the element being drawn let show, in
    // drawing units; none while a drawing without a size is measured.
    std::optional<Rect> clip_;

    const Limits& limits() const { return src.options.limits; }

    bool fail(std::string why);
    void summarize();
    void badData(const xml::Node& node, const std::string& what);

    // paint
    bool gradientColor(std::size_t index, const Style& style, Rgba& color, int depth);
    bool resolvePaint(const Paint& paint, const Style& style, Rgba& color);
    bool budget(std::size_t more);
    bool addShape(Shape&& shape);
    std::vector<Vec2> toDrawing(const std::vector<Vec2>& user, const Matrix& ctm);
    bool paintPath(
        const std::vector<PathCommand>& cmds, const Style& style, const Matrix& ctm, double groupAlpha);

    // shapes
    double length(const xml::Node& node, std::string_view key, Axis axis, const Viewport& vp, const Style& s,
        double fallback);
    void ellipse(std::vector<PathCommand>& cmds, double cx, double cy, double rx, double ry);
    bool shapeCommands(
        const xml::Node& node, const Style& s, const Viewport& vp, std::vector<PathCommand>& cmds);

    // the element tree
    void enterViewport(
        const xml::Node& node, const Style& s, Matrix& ctm, Viewport& vp, const xml::Node* use);
    bool children(const xml::Node& node, const Style& s, const Matrix& ctm, const Viewport& vp, int depth,
        double alpha);
    bool element(std::size_t index, const Style& parent, const Matrix& ctm, const Viewport& vp, int depth,
        double alpha, bool isRoot);
    bool elementBody(std::size_t index, const Style& parent, Matrix ctm, Viewport vp, int depth, double alpha,
        bool isRoot);
    void clipToViewport(const Matrix& m, double width, double height);
    Matrix withOrigin(const Matrix& m, const xml::Node& node, const Style& s, const Viewport& vp);
    bool use(const xml::Node& node, const Style& s, Matrix ctm, Viewport vp, int depth, double alpha);

    // markers
    bool markers(const std::vector<PathCommand>& cmds, const Style& s, const Matrix& ctm, const Viewport& vp,
        int depth, double alpha);
    bool marker(const std::string& id, Vec2 at, double angle, bool atStart, const Style& s, const Matrix& ctm,
        const Viewport& vp, int depth, double alpha);

    // text
    // One addressable character of a text element, after white space is
    // collapsed, and where it goes.
    struct TextChar {
        std::string utf8;
        std::size_t style = 0; // into TextLayout::styles
        bool hasX = false, hasY = false; // an absolute position starts a new chunk
        double x = 0, y = 0, dx = 0, dy = 0, rotate = 0;
    };
    // The position lists of one element, over its characters [begin, end).
    struct TextPlacement {
        std::size_t begin = 0, end = 0;
        std::vector<double> x, y, dx, dy, rotate;
    };
    struct TextLayout {
        std::vector<TextChar> chars;
        std::vector<Style> styles; // one per element holding text
        std::vector<TextPlacement> placements; // outer elements first
    };
    // A list of lengths (or of plain numbers for Axis::Other); false and
    // empty when absent or bad.
    bool lengthList(const xml::Node& node, std::string_view key, Axis axis, const Viewport& vp,
        const Style& s, std::vector<double>& out);
    void collectText(const xml::Node& node, const Style& s, const Viewport& vp, TextLayout& layout, int depth,
        bool& lastSpace);
    bool text(const xml::Node& node, const Style& s, const Matrix& ctm, const Viewport& vp, double alpha);
};

} // namespace qorvan::import::svg
