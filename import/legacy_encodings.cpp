#include "import/legacy_encodings.h"

#include <array>
#include <string>

namespace qorvan::import::xml {

namespace {

    struct Encoding {
        const char* name;
        std::array<std::uint16_t, 128> upper;
    };

    constexpr Encoding ENCODINGS[] = {
#include "import/legacy_encodings_table.inc"
    };

    // Lower case without the separators, so "ISO_8859-2", "iso-8859-2" and
    // "ISO8859-2" meet.
    std::string folded(std::string_view name)
    {
        std::string out;
        for (char c : name) {
            if (c == '-' || c == '_' || c == ' ') continue;
            out += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        }
        return out;
    }

    // The Latin-n names of the ISO parts; Latin-1 is expat's own.
    constexpr std::pair<const char*, const char*> LATIN[] = {
        { "latin2", "iso88592" },
        { "latin3", "iso88593" },
        { "latin4", "iso88594" },
        { "latin5", "iso88599" },
        { "latin6", "iso885910" },
        { "latin7", "iso885913" },
        { "latin8", "iso885914" },
        { "latin9", "iso885915" },
        { "latin10", "iso885916" },
        { "cyrillic", "iso88595" },
        { "greek", "iso88597" },
        { "hebrew", "iso88598" },
        { "arabic", "iso88596" },
    };

} // namespace

const std::uint16_t* legacyEncodingUpperHalf(std::string_view name)
{
    std::string key = folded(name);
    if (key.starts_with("cp") && key.size() == 6) key = "windows" + key.substr(2);
    if (key.starts_with("xcp") && key.size() == 7) key = "windows" + key.substr(3);
    for (const auto& [alias, iso] : LATIN)
        if (key == alias) key = iso;
    for (const Encoding& e : ENCODINGS)
        if (folded(e.name) == key) return e.upper.data();
    return nullptr;
}

} // namespace qorvan::import::xml
