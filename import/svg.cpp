// The SVG reader: walks the element tree with the cascade of presentation
// attributes, style sheets and style attributes, and turns every painted
// path into slide shapes at the grid the caller asks for.
#include "import/svg.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "import/svg_text.h"
#include "import/svg_walker.h"

namespace qorvan::import {
namespace svg {

    bool SvgSource::prepare(std::string& error)
    {
        const xml::Node& root = doc.nodes[0];
        if (root.name != "svg") {
            error = name + ": not an SVG drawing (the root element is <" + root.name + ">)";
            return false;
        }
        for (std::size_t i = 0; i < doc.nodes.size(); ++i) {
            const xml::Node& n = doc.nodes[i];
            if (n.isText()) continue;
            if (const std::string* id = n.attribute("id")) ids.emplace(*id, i);
            if (n.name == "style")
                for (std::size_t c : n.children)
                    sheet.parse(doc.nodes[c].text);
        }
        if (sheet.skippedSelectors)
            readWarnings.push_back(std::to_string(sheet.skippedSelectors)
                + " style sheet selector(s) beyond type, class and id left out");

        const ViewBox viewBox = parseViewBox(root.attribute("viewBox"));
        const ViewBox& vb = viewBox;
        const Viewport initial { vb.present ? vb.width : 100, vb.present ? vb.height : 100 };
        double width = -1, height = -1;
        const std::string* w = root.attribute("width");
        const std::string* h = root.attribute("height");
        // Percentages of an unknown window mean the viewBox size here.
        if (w && trim(*w).ends_with("%")) w = nullptr;
        if (h && trim(*h).ends_with("%")) h = nullptr;
        if (w && !(parseLength(*w, Axis::X, initial, DEFAULT_FONT_SIZE, width) && width > 0)) {
            readWarnings.push_back("bad width \"" + *w + "\" ignored");
            width = -1;
        }
        if (h && !(parseLength(*h, Axis::Y, initial, DEFAULT_FONT_SIZE, height) && height > 0)) {
            readWarnings.push_back("bad height \"" + *h + "\" ignored");
            height = -1;
        }
        if (vb.present) {
            // A missing side follows the viewBox's proportions.
            if (width < 0 && height < 0) {
                width = vb.width;
                height = vb.height;
            } else if (width < 0) {
                width = height * vb.width / vb.height;
            } else if (height < 0) {
                height = width * vb.height / vb.width;
            }
        }
        if (width > 0 && height > 0) {
            rootViewport = vb.present ? Viewport { vb.width, vb.height } : Viewport { width, height };
            // y grows upward in the drawing: flip inside the viewport.
            rootMatrix = Matrix { 1, 0, 0, -1, 0, height }
                * viewBoxTransform(vb, width, height, root.attribute("preserveAspectRatio"));
            this->box.add(Vec2 { 0, 0 });
            this->box.add(Vec2 { width, height });
            return true;
        }
        // Without a size the drawing is as large as what it draws.
        sized = false;
        rootMatrix = Matrix { 1, 0, 0, -1, 0, 0 };
        readWarnings.push_back("no width, height or viewBox: the slide shows everything drawn");
        Drawing probe;
        std::string probeError;
        const Grid probeGrid { 1, 0.5 }; // the walker keeps a reference to its grid
        Walker walker(*this, probeGrid, probe, probeError);
        if (!walker.run()) {
            error = probeError;
            return false;
        }
        this->box = probe.extents();
        // A finer grid flattens curves a little differently; what strays past
        // the probe's box by that much is cut, so the extents hold at any grid.
        sized = true;
        return true;
    }

    bool SvgSource::draw(const Grid& grid, Drawing& out, std::string& error) const
    {
        Walker walker(*this, grid, out, error);
        return walker.run();
    }

} // namespace svg

OpenResult openSvgBytes(std::string_view bytes, const std::string& name, const Options& options)
{
    OpenResult result;
    auto source = std::make_unique<svg::SvgSource>();
    source->name = name;
    source->options = options;
    if (bytes.size() > options.limits.maxFileBytes) {
        result.error = name + ": larger than " + std::to_string(options.limits.maxFileBytes) + " bytes";
        return result;
    }
    xml::ReadLimits xmlLimits;
    xmlLimits.maxNodes = options.limits.maxEntities;
    std::string why;
    if (!xml::readDocument(bytes, xmlLimits, source->doc, why)) {
        result.error = name + ": not a readable SVG drawing: " + why;
        return result;
    }
    if (!source->prepare(result.error)) return result;
    result.source = std::move(source);
    return result;
}

OpenResult openSvg(const std::string& path, const Options& options)
{
    OpenResult result;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        result.error = path + ": cannot open: " + std::strerror(errno);
        return result;
    }
    std::string bytes;
    char buffer[1 << 16];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        bytes.append(buffer, n);
        if (bytes.size() > options.limits.maxFileBytes) {
            std::fclose(f);
            result.error = path + ": larger than " + std::to_string(options.limits.maxFileBytes) + " bytes";
            return result;
        }
    }
    const bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (readError) {
        result.error = path + ": cannot read: " + std::strerror(errno);
        return result;
    }
    return openSvgBytes(bytes, path, options);
}

} // namespace qorvan::import
