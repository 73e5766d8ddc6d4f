#include "import/dxf_text.h"

#include <cctype>

namespace qorvan::import::dxf {

std::string textCodes(const std::string& t)
{
    std::string out;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '%' && i + 2 < t.size() && t[i + 1] == '%') {
            const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(t[i + 2])));
            if (c == 'd')
                out += "\xC2\xB0";
            else if (c == 'p')
                out += "\xC2\xB1";
            else if (c == 'c')
                out += "\xC3\x98";
            else if (c == '%')
                out += '%';
            else if (c != 'u' && c != 'o' && c != 'k')
                out += t.substr(i, 3);
            i += 2;
            continue;
        }
        out += t[i];
    }
    return out;
}

std::vector<std::string> mtextLines(const std::string& t)
{
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < t.size(); ++i) {
        const char c = t[i];
        if (c == '{' || c == '}') continue;
        if (c != '\\' || i + 1 >= t.size()) {
            lines.back() += c;
            continue;
        }
        const char k = t[++i];
        switch (k) {
        case 'P':
            lines.emplace_back();
            break;
        case '~':
            lines.back() += ' ';
            break;
        case '\\':
        case '{':
        case '}':
            lines.back() += k;
            break;
        case 'S': {
            // Stacked fractions a^b, a/b, a#b are drawn inline as a/b.
            const std::size_t end = t.find(';', i);
            std::string frac = t.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
            for (char& ch : frac)
                if (ch == '^' || ch == '#') ch = '/';
            lines.back() += frac;
            i = end == std::string::npos ? t.size() : end;
            break;
        }
        case 'L':
        case 'l':
        case 'O':
        case 'o':
        case 'K':
        case 'k':
            break;
        default: {
            // \f...; \H...; \C...; and the like carry an argument up to ';'.
            const std::size_t end = t.find(';', i);
            i = end == std::string::npos ? t.size() : end;
            break;
        }
        }
    }
    return lines;
}

} // namespace qorvan::import::dxf
