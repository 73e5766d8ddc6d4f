// The AutoLISP printer.
#include "console/printer.h"

#include <cmath>
#include <cstdio>

namespace qorvan::console {

namespace {

    // Nesting deeper than this prints as "..." instead of recursing further.
    constexpr int PRINT_DEPTH_LIMIT = 1000;

    void escapeString(const std::string& s, std::string& out)
    {
        out += '"';
        for (const char c : s) {
            switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\x1b':
                out += "\\e";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\%03o", static_cast<unsigned char>(c));
                    out += buf;
                } else {
                    out += c;
                }
            }
        }
        out += '"';
    }

    void print(const Value& v, bool escape, std::string& out, int depth)
    {
        if (depth > PRINT_DEPTH_LIMIT) {
            out += "...";
            return;
        }
        if (v.isNil()) {
            out += "nil";
        } else if (v.isVoid()) {
        } else if (v.isInt()) {
            out += std::to_string(v.asInt());
        } else if (v.isReal()) {
            out += formatReal(v.asReal());
        } else if (v.isString()) {
            if (escape) {
                escapeString(v.asString(), out);
            } else {
                out += v.asString();
            }
        } else if (v.isSymbol()) {
            out += v.asSymbol()->name;
        } else if (v.isFunction()) {
            const Function& f = v.asFunction();
            const char* kind = f.kind == Function::Kind::Lambda ? "USUBR"
                : f.kind == Function::Kind::Module              ? "EXRXSUBR"
                                                                : "SUBR";
            out += "#<";
            out += kind;
            out += ' ';
            out += f.name.empty() ? "LAMBDA" : f.name;
            out += '>';
        } else {
            out += '(';
            const Value* p = &v;
            bool first = true;
            while (p->isCons()) {
                if (!first) out += ' ';
                first = false;
                print(p->car(), escape, out, depth + 1);
                p = &p->cdr();
            }
            if (!p->isNil()) {
                out += " . ";
                print(*p, escape, out, depth + 1);
            }
            out += ')';
        }
    }

} // namespace

std::string formatReal(double v)
{
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "1.#INF" : "-1.#INF";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    std::string s(buf);
    const std::size_t e = s.find('e');
    if (s.find('.') == std::string::npos) {
        if (e == std::string::npos) {
            s += ".0";
        } else {
            s.insert(e, ".0");
        }
    }
    return s;
}

std::string prin1Form(const Value& v)
{
    std::string out;
    print(v, true, out, 0);
    return out;
}

std::string princForm(const Value& v)
{
    std::string out;
    print(v, false, out, 0);
    return out;
}

} // namespace qorvan::console
