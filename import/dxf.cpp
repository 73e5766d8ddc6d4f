#include "import/dxf.h"

#include <cctype>
#include <fstream>

#include "import/dxf_draw.h"
#include "import/dxf_reader.h"

namespace qorvan::import {

OpenResult readDxf(std::string_view bytes, const std::string& name, const Options& options)
{
    OpenResult result;
    auto fail = [&](const std::string& why) {
        result.error = name + ": " + why;
        return std::move(result);
    };
    if (bytes.substr(0, 18) == "AutoCAD Binary DXF")
        return fail("a binary DXF file; export the drawing as ASCII DXF");
    if (bytes.size() >= 6 && bytes.substr(0, 2) == "AC" && std::isdigit(static_cast<unsigned char>(bytes[2]))
        && std::isdigit(static_cast<unsigned char>(bytes[3])))
        return fail("a DWG drawing, not DXF; export the drawing as ASCII DXF");
    if (bytes.find('\0') != std::string_view::npos)
        return fail("not a text file; export the drawing as ASCII DXF");
    if (bytes.size() > options.limits.maxFileBytes)
        return fail("larger than " + std::to_string(options.limits.maxFileBytes) + " bytes");
    dxf::Model model;
    std::string error;
    if (!dxf::readModel(bytes, name, options, model, error)) return fail(error);
    // A drawing whose sections are all empty is still a drawing: it makes a
    // blank slide, and the caller warns that there is nothing to draw.
    if (model.sections == 0 && model.entities.empty() && model.blocks.empty() && model.layers.size() <= 1)
        return fail("no DXF sections found; is it a DXF file?");
    result.source = dxf::makeSource(std::move(model), options, name, error);
    if (!result.source) return fail(error);
    return result;
}

OpenResult openDxf(const std::string& path, const Options& options)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return { nullptr, path + ": cannot open the file" };
    std::string bytes;
    const std::uint64_t cap = options.limits.maxFileBytes + 1;
    char buf[1 << 16];
    while (in && bytes.size() < cap) {
        in.read(buf, sizeof buf);
        bytes.append(buf, static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) return { nullptr, path + ": cannot read the file" };
    return readDxf(bytes, path, options);
}

} // namespace qorvan::import