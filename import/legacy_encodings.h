// The 8-bit encodings older drawing programs declare in SVG files
// (Windows-125x, ISO-8859-x, KOI8-R and KOI8-U), for the XML reader: expat
// knows only UTF-8, UTF-16, ISO-8859-1 and ASCII by itself. The DXF reader's
// code pages are the Windows ones of this table.
#pragma once

#include <cstdint>
#include <string_view>

namespace qorvan::import::xml {

// The code points of bytes 0x80 to 0xFF in the named encoding (below 0x80
// every one of them is ASCII), 0 where a byte is no character of it; null
// for an encoding not known. Names are matched ignoring case, hyphens and
// underscores, with the usual aliases ("cp1251", "latin2", "iso8859-5").
const std::uint16_t* legacyEncodingUpperHalf(std::string_view name);

} // namespace qorvan::import::xml
