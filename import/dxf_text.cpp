#include "import/dxf_text.h"

#include <cctype>
#include <cstdlib>

#include "import/codepage.h"

namespace qorvan::import::dxf {

namespace {

    // \U+XXXX at t[i] (the backslash): the code point's UTF-8, and i moved
    // to its last digit; empty when it is not one.
    std::string unicodeEscape(const std::string& t, std::size_t& i)
    {
        if (i + 7 > t.size() || t.compare(i, 3, "\\U+") != 0) return {};
        const std::string hex = t.substr(i + 3, 4);
        for (char c : hex)
            if (!std::isxdigit(static_cast<unsigned char>(c))) return {};
        i += 6;
        return utf8Of(static_cast<char32_t>(std::strtoul(hex.c_str(), nullptr, 16)));
    }

    // The %% codes of one run's text; toggles start a new run.
    void appendCodes(const std::string& t, TextLine& line)
    {
        if (line.empty()) line.emplace_back();
        for (std::size_t i = 0; i < t.size(); ++i) {
            if (t[i] == '%' && i + 2 < t.size() && t[i + 1] == '%') {
                const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(t[i + 2])));
                if (c == 'd')
                    line.back().text += "\xC2\xB0";
                else if (c == 'p')
                    line.back().text += "\xC2\xB1";
                else if (c == 'c')
                    line.back().text += "\xC3\x98";
                else if (c == '%')
                    line.back().text += '%';
                else if (c == 'u' || c == 'o') {
                    TextRun next = line.back();
                    next.text.clear();
                    (c == 'u' ? next.underline : next.overline) ^= true;
                    line.push_back(std::move(next));
                } else if (std::isdigit(static_cast<unsigned char>(c))) {
                    std::size_t end = i + 2;
                    while (end < t.size() && end < i + 5 && std::isdigit(static_cast<unsigned char>(t[end])))
                        ++end;
                    line.back().text
                        += utf8Of(static_cast<char32_t>(std::atoi(t.substr(i + 2, end - i - 2).c_str())));
                    i = end - 1;
                    continue;
                } else if (c != 'k')
                    line.back().text += t.substr(i, 3);
                i += 2;
                continue;
            }
            if (t[i] == '\\') {
                const std::string u = unicodeEscape(t, i);
                if (!u.empty()) {
                    line.back().text += u;
                    continue;
                }
            }
            line.back().text += t[i];
        }
    }

} // namespace

TextLine textRuns(const std::string& t)
{
    TextLine line;
    appendCodes(t, line);
    return line;
}

std::vector<TextLine> mtextParagraphs(const std::string& t, double height)
{
    std::vector<TextLine> paragraphs(1);
    std::vector<TextRun> states { TextRun {} }; // the formatting of each open brace
    states.back().height = height;
    std::string pending;
    auto flush = [&] {
        if (pending.empty()) return;
        TextLine coded { states.back() };
        coded.back().text.clear();
        appendCodes(pending, coded);
        for (TextRun& r : coded)
            if (!r.text.empty()) paragraphs.back().push_back(std::move(r));
        pending.clear();
    };
    auto argument = [&](std::size_t& i) {
        const std::size_t end = t.find(';', i + 1);
        std::string arg = t.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
        i = end == std::string::npos ? t.size() : end;
        return arg;
    };
    for (std::size_t i = 0; i < t.size(); ++i) {
        const char c = t[i];
        if (c == '{' || c == '}') {
            flush();
            if (c == '{' && states.size() < 64)
                states.push_back(states.back());
            else if (c == '}' && states.size() > 1)
                states.pop_back();
            continue;
        }
        if (c != '\\' || i + 1 >= t.size()) {
            pending += c;
            continue;
        }
        if (const std::string u = unicodeEscape(t, i); !u.empty()) {
            pending += u;
            continue;
        }
        const char k = t[++i];
        switch (k) {
        case 'P':
        case 'N':
            flush();
            paragraphs.emplace_back();
            break;
        case '~':
            pending += "\xC2\xA0";
            break;
        case '\\':
        case '{':
        case '}':
            pending += k;
            break;
        case 'L':
        case 'l':
        case 'O':
        case 'o':
            flush();
            (k == 'L' || k == 'l' ? states.back().underline : states.back().overline) = k == 'L' || k == 'O';
            break;
        case 'K':
        case 'k':
            break;
        case 'H': {
            flush();
            std::string arg = argument(i);
            const bool relative = !arg.empty() && (arg.back() == 'x' || arg.back() == 'X');
            const double v = std::atof(arg.c_str());
            if (v > 0 && v < 1e6) states.back().height = relative ? states.back().height * v : v;
            break;
        }
        case 'C': {
            flush();
            const int v = std::atoi(argument(i).c_str());
            states.back().colour = v >= 1 && v <= 255 ? v : -1;
            break;
        }
        case 'S': {
            flush();
            const std::string arg = argument(i);
            const std::size_t at = arg.find_first_of("^/#");
            TextRun run = states.back();
            run.stacked = true;
            if (at == std::string::npos) {
                run.over = arg;
            } else {
                run.stackKind = arg[at];
                run.over = arg.substr(0, at);
                run.under = arg.substr(at + 1);
            }
            for (std::string* part : { &run.over, &run.under }) {
                const TextLine coded = textRuns(*part);
                part->clear();
                for (const TextRun& r : coded)
                    *part += r.text;
            }
            paragraphs.back().push_back(std::move(run));
            break;
        }
        default:
            // \f, \F, \A, \W, \Q, \T, \p and the like carry an argument up to ';'.
            argument(i);
            break;
        }
    }
    flush();
    return paragraphs;
}

} // namespace qorvan::import::dxf
