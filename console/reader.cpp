// The AutoLISP reader.
#include "console/reader.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace qorvan::console {

namespace {

    bool isBlank(char c)
    {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
    }
    bool isDelimiter(char c)
    {
        return isBlank(c) || c == '(' || c == ')' || c == '\'' || c == '"' || c == ';';
    }
    bool isDigit(char c)
    {
        return c >= '0' && c <= '9';
    }

    // [+-]digits
    bool looksInteger(std::string_view t)
    {
        std::size_t i = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
        if (i >= t.size()) return false;
        for (; i < t.size(); ++i)
            if (!isDigit(t[i])) return false;
        return true;
    }

    // [+-](digits[.digits*]|.digits)([eE][+-]digits)
    bool looksReal(std::string_view t)
    {
        std::size_t i = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
        std::size_t digits = 0;
        while (i < t.size() && isDigit(t[i])) {
            ++i;
            ++digits;
        }
        if (i < t.size() && t[i] == '.') {
            ++i;
            while (i < t.size() && isDigit(t[i])) {
                ++i;
                ++digits;
            }
        }
        if (digits == 0) return false;
        if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
            ++i;
            if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
            std::size_t expDigits = 0;
            while (i < t.size() && isDigit(t[i])) {
                ++i;
                ++expDigits;
            }
            if (expDigits == 0) return false;
        }
        return i == t.size();
    }

} // namespace

bool Reader::skipBlanks()
{
    while (pos_ < text_.size()) {
        const char c = text_[pos_];
        if (isBlank(c)) {
            ++pos_;
        } else if (c == ';') {
            if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '|') {
                const std::size_t end = text_.find("|;", pos_ + 2);
                if (end == std::string_view::npos) {
                    pos_ = text_.size();
                    return false;
                }
                pos_ = end + 2;
            } else {
                const std::size_t end = text_.find('\n', pos_);
                pos_ = end == std::string_view::npos ? text_.size() : end + 1;
            }
        } else {
            break;
        }
    }
    return true;
}

ReadStatus Reader::next(Value& out, std::string& message)
{
    if (!skipBlanks()) return ReadStatus::Incomplete;
    if (pos_ >= text_.size()) return ReadStatus::End;
    const std::size_t start = pos_;
    const ReadStatus status = datum(out, message, 0);
    if (status == ReadStatus::Incomplete) pos_ = start;
    return status;
}

ReadStatus Reader::datum(Value& out, std::string& message, int depth)
{
    if (depth > READ_DEPTH_LIMIT) {
        message = "malformed list on input";
        return ReadStatus::Error;
    }
    if (!skipBlanks() || pos_ >= text_.size()) return ReadStatus::Incomplete;
    const char c = text_[pos_];
    if (c == '(') {
        ++pos_;
        return list(out, message, depth + 1);
    }
    if (c == ')') {
        ++pos_;
        message = "extra right paren on input";
        return ReadStatus::Error;
    }
    if (c == '\'') {
        ++pos_;
        Value quoted;
        const ReadStatus s = datum(quoted, message, depth + 1);
        if (s != ReadStatus::Ok) return s;
        out = makeList({ Value::symbol(intern("QUOTE")), quoted });
        return ReadStatus::Ok;
    }
    if (c == '"') {
        ++pos_;
        return stringLiteral(out, message);
    }
    const std::size_t start = pos_;
    while (pos_ < text_.size() && !isDelimiter(text_[pos_]))
        ++pos_;
    const std::string_view token = text_.substr(start, pos_ - start);
    // A lone dot belongs between the two parts of a dotted pair only.
    if (token == ".") {
        message = "misplaced dot on input";
        return ReadStatus::Error;
    }
    out = atom(token);
    return ReadStatus::Ok;
}

ReadStatus Reader::list(Value& out, std::string& message, int depth)
{
    std::vector<Value> items;
    Value tail;
    for (;;) {
        if (!skipBlanks() || pos_ >= text_.size()) return ReadStatus::Incomplete;
        const char c = text_[pos_];
        if (c == ')') {
            ++pos_;
            break;
        }
        // A lone "." between elements makes a dotted pair: (a . b).
        if (c == '.' && !items.empty() && (pos_ + 1 >= text_.size() || isDelimiter(text_[pos_ + 1]))) {
            ++pos_;
            const ReadStatus s = datum(tail, message, depth);
            if (s != ReadStatus::Ok) return s;
            if (!skipBlanks() || pos_ >= text_.size()) return ReadStatus::Incomplete;
            if (text_[pos_] != ')') {
                message = "malformed list on input";
                return ReadStatus::Error;
            }
            ++pos_;
            break;
        }
        Value item;
        const ReadStatus s = datum(item, message, depth);
        if (s != ReadStatus::Ok) return s;
        items.push_back(std::move(item));
    }
    out = std::move(tail);
    for (auto it = items.rbegin(); it != items.rend(); ++it)
        out = Value::cons(std::move(*it), std::move(out));
    return ReadStatus::Ok;
}

ReadStatus Reader::stringLiteral(Value& out, std::string& message)
{
    (void)message;
    std::string text;
    while (pos_ < text_.size()) {
        const char c = text_[pos_++];
        if (c == '"') {
            out = Value::string(std::move(text));
            return ReadStatus::Ok;
        }
        if (c != '\\') {
            text += c;
            continue;
        }
        if (pos_ >= text_.size()) break;
        const char e = text_[pos_++];
        switch (e) {
        case 'n':
            text += '\n';
            break;
        case 'r':
            text += '\r';
            break;
        case 't':
            text += '\t';
            break;
        case 'e':
            text += '\x1b';
            break;
        default:
            if (e >= '0' && e <= '7') {
                int code = e - '0';
                for (int k = 0; k < 2 && pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '7'; ++k)
                    code = code * 8 + (text_[pos_++] - '0');
                text += static_cast<char>(code & 0xFF);
            } else {
                text += e; // \\, \" and any other character stand for themselves
            }
        }
    }
    return ReadStatus::Incomplete;
}

Value Reader::atom(std::string_view token) const
{
    if (looksInteger(token)) {
        errno = 0;
        const std::string t(token);
        const long long v = std::strtoll(t.c_str(), nullptr, 10);
        if (errno == 0 && v >= INT32_MIN && v <= INT32_MAX)
            return Value::integer(static_cast<std::int32_t>(v));
        return Value::real(std::strtod(t.c_str(), nullptr));
    }
    if (looksReal(token)) return Value::real(std::strtod(std::string(token).c_str(), nullptr));
    Symbol* s = intern(token);
    if (s->name == "NIL") return Value();
    return Value::symbol(s);
}

} // namespace qorvan::console
