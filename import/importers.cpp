#include "import/importers.h"

#include <algorithm>
#include <cctype>

#include "import/dxf.h"
#include "import/svg.h"

namespace qorvan::import {

OpenResult openDrawing(const std::string& path, const Options& options)
{
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    std::string ext;
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
        [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == "dxf") return openDxf(path, options);
    if (ext == "svg") return openSvg(path, options);
    return { nullptr, path + ": not a drawing qorvan make reads (it reads .dxf and .svg files)" };
}

} // namespace qorvan::import
