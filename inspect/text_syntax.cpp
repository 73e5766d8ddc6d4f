#include "inspect/text_syntax.h"

#include <cstdio>

namespace qorvan::inspect {

std::string quoteBytes(const std::uint8_t* data, std::size_t size)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t c = data[i];
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case 0:
            out += "\\0";
            break;
        default:
            if (c >= 0x20 && c < 0x7F) {
                out += static_cast<char>(c);
            } else {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\x%02x", c);
                out += buf;
            }
        }
    }
    return out + "\"";
}

std::string hexBytes(const std::uint8_t* data, std::size_t size)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 0xF];
    }
    return out;
}

std::string hexWord(unsigned value)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04x", value);
    return buf;
}

namespace {

    int hexDigit(char c)
    {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

} // namespace

bool tokenize(std::string_view line, std::vector<Token>& tokens, TextError& error)
{
    tokens.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '#') break;
        Token t;
        t.column = static_cast<int>(i) + 1;
        if (c == '"') {
            t.quoted = true;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char d = line[i];
                if (d == '"') {
                    closed = true;
                    ++i;
                    break;
                }
                if (d != '\\') {
                    t.text += d;
                    ++i;
                    continue;
                }
                if (i + 1 >= line.size()) break;
                const int escapeColumn = static_cast<int>(i) + 1;
                char e = line[i + 1];
                i += 2;
                switch (e) {
                case '"':
                    t.text += '"';
                    break;
                case '\\':
                    t.text += '\\';
                    break;
                case 'r':
                    t.text += '\r';
                    break;
                case 'n':
                    t.text += '\n';
                    break;
                case 't':
                    t.text += '\t';
                    break;
                case '0':
                    t.text += '\0';
                    break;
                case 'x': {
                    int hi = i < line.size() ? hexDigit(line[i]) : -1;
                    int lo = i + 1 < line.size() ? hexDigit(line[i + 1]) : -1;
                    if (hi < 0 || lo < 0) {
                        error.column = escapeColumn;
                        error.message = "\\x wants two hex digits";
                        return false;
                    }
                    t.text += static_cast<char>(hi * 16 + lo);
                    i += 2;
                    break;
                }
                default:
                    error.column = escapeColumn;
                    error.message
                        = std::string("unknown escape \\") + e + " (known: \\\" \\\\ \\r \\n \\t \\0 \\xHH)";
                    return false;
                }
            }
            if (!closed) {
                error.column = t.column;
                error.message = "the string is not closed";
                return false;
            }
        } else {
            std::size_t start = i;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '#')
                ++i;
            t.text = std::string(line.substr(start, i - start));
        }
        tokens.push_back(std::move(t));
    }
    return true;
}

std::optional<std::int64_t> parseInteger(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && text[0] == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    std::int64_t value = 0;
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    for (char c : text) {
        int d = base == 16 ? hexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (d < 0) return std::nullopt;
        value = value * base + d;
        // Far beyond any field; stops overflow on a long run of digits.
        if (value > (std::int64_t { 1 } << 40)) return std::nullopt;
    }
    return negative ? -value : value;
}

std::optional<std::vector<std::uint8_t>> parseHex(std::string_view text)
{
    if (text.size() % 2 != 0) return std::nullopt;
    std::vector<std::uint8_t> out;
    out.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        int hi = hexDigit(text[i]), lo = hexDigit(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    return out;
}

} // namespace qorvan::inspect
