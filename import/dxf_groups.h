// The lowest layer of a DXF file: pairs of lines, a group code and its
// value, and the conversions every reader above makes of those values.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <string>
#include <string_view>

namespace qorvan::import::dxf {

struct Group {
    int code = 0;
    std::string_view value;
};

// Pairs of lines: a group code, then its value. Values keep their leading
// spaces (they belong to text); a trailing carriage return is dropped.
class GroupReader {
public:
    explicit GroupReader(std::string_view text)
        : text_(text)
    {
        if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3; // a byte-order mark some writers put first
    }

    // False at the end of the text; `error` says why when it stopped early.
    bool next(Group& g, std::string& error)
    {
        if (pushedBack_) {
            pushedBack_ = false;
            g = last_;
            return true;
        }
        std::string_view codeLine;
        if (!line(codeLine)) return false;
        while (!codeLine.empty() && (codeLine.front() == ' ' || codeLine.front() == '\t'))
            codeLine.remove_prefix(1);
        while (!codeLine.empty() && (codeLine.back() == ' ' || codeLine.back() == '\t'))
            codeLine.remove_suffix(1);
        if (codeLine.empty() && atEnd()) return false;
        char* end = nullptr;
        const std::string code(codeLine);
        const long c = std::strtol(code.c_str(), &end, 10);
        if (code.empty() || *end != '\0' || c < -32768 || c > 32767) {
            error = "line " + std::to_string(lineNo_) + ": a group code was expected, not \""
                + code.substr(0, 40) + "\"";
            return false;
        }
        if (!line(g.value)) {
            error = "line " + std::to_string(lineNo_) + ": the file ends after group code " + code;
            return false;
        }
        g.code = static_cast<int>(c);
        last_ = g;
        return true;
    }
    void pushBack() { pushedBack_ = true; }
    bool atEnd() const { return pos_ >= text_.size(); }
    std::size_t lineNo() const { return lineNo_; }

private:
    bool line(std::string_view& out)
    {
        if (pos_ >= text_.size()) return false;
        std::size_t nl = text_.find('\n', pos_);
        if (nl == std::string_view::npos) nl = text_.size();
        out = text_.substr(pos_, nl - pos_);
        if (!out.empty() && out.back() == '\r') out.remove_suffix(1);
        pos_ = nl + 1;
        ++lineNo_;
        return true;
    }
    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t lineNo_ = 0;
    Group last_;
    bool pushedBack_ = false;
};

// A value as a number; text that is not one, or is not finite, reads as 0.
double number(std::string_view v);
// A value as an integer, held within +-2e9.
long integer(std::string_view v);
std::string upper(std::string_view s);
std::string trimmed(std::string_view s);

} // namespace qorvan::import::dxf
