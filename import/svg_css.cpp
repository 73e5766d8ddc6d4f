#include "import/svg_css.h"
#include "import/svg_text.h"

#include <algorithm>

namespace qorvan::import::svg {
namespace {

    std::string withoutComments(std::string_view css)
    {
        std::string out;
        out.reserve(css.size());
        for (std::size_t i = 0; i < css.size();) {
            if (css.compare(i, 2, "/*") == 0) {
                const std::size_t end = css.find("*/", i + 2);
                if (end == std::string_view::npos) break;
                i = end + 2;
                out += ' ';
            } else {
                out += css[i++];
            }
        }
        return out;
    }

    bool isNameChar(char c)
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-'
            || c == '_' || static_cast<unsigned char>(c) >= 0x80;
    }

    // A compound of simple selectors, or false for anything more.
    bool parseSelector(std::string_view text, Selector& out)
    {
        text = trim(text);
        if (text.empty()) return false;
        std::size_t i = 0;
        if (text[0] == '*') {
            i = 1;
        } else {
            while (i < text.size() && isNameChar(text[i]))
                ++i;
            out.type = std::string(text.substr(0, i));
        }
        while (i < text.size()) {
            const char kind = text[i++];
            const std::size_t start = i;
            while (i < text.size() && isNameChar(text[i]))
                ++i;
            if (i == start) return false;
            const std::string name(text.substr(start, i - start));
            if (kind == '.')
                out.classes.push_back(name);
            else if (kind == '#')
                out.id = name;
            else
                return false;
        }
        return true;
    }

} // namespace

std::vector<Declaration> parseDeclarations(std::string_view text)
{
    std::vector<Declaration> out;
    const std::string clean = withoutComments(text);
    std::string_view rest = clean;
    while (!rest.empty()) {
        // Semicolons inside parentheses (url(...), rgb(...)) do not end a
        // declaration.
        std::size_t end = 0;
        int depth = 0;
        while (end < rest.size() && !(rest[end] == ';' && depth == 0)) {
            if (rest[end] == '(')
                ++depth;
            else if (rest[end] == ')' && depth > 0)
                --depth;
            ++end;
        }
        const std::string_view item = rest.substr(0, end);
        rest = end < rest.size() ? rest.substr(end + 1) : std::string_view {};
        const std::size_t colon = item.find(':');
        if (colon == std::string_view::npos) continue;
        Declaration d;
        const std::string_view prop = trim(item.substr(0, colon));
        std::string_view value = trim(item.substr(colon + 1));
        if (prop.empty()) continue;
        for (char c : prop)
            d.property += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        if (value.size() >= 10) {
            std::string tail(value.substr(value.size() - 10));
            for (char& c : tail)
                c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
            if (tail == "!important") value = trim(value.substr(0, value.size() - 10));
        }
        d.value = std::string(value);
        out.push_back(std::move(d));
    }
    return out;
}

int Selector::specificity() const
{
    return (id.empty() ? 0 : 10000) + static_cast<int>(classes.size()) * 100 + (type.empty() ? 0 : 1);
}

bool Selector::matches(
    std::string_view elementType, std::string_view elementId, std::string_view classAttribute) const
{
    if (!type.empty() && type != elementType) return false;
    if (!id.empty() && id != elementId) return false;
    for (const std::string& want : classes) {
        bool found = false;
        std::size_t i = 0;
        while (i < classAttribute.size() && !found) {
            while (i < classAttribute.size() && isSpace(classAttribute[i]))
                ++i;
            const std::size_t start = i;
            while (i < classAttribute.size() && !isSpace(classAttribute[i]))
                ++i;
            found = classAttribute.substr(start, i - start) == want;
        }
        if (!found) return false;
    }
    return true;
}

void StyleSheet::parse(std::string_view cssText)
{
    const std::string css = withoutComments(cssText);
    std::size_t pos = 0;
    while (pos < css.size()) {
        const std::size_t open = css.find('{', pos);
        if (open == std::string::npos) break;
        // At-rules (@media, @font-face, @import) are skipped whole.
        std::size_t close = open + 1;
        int depth = 1;
        while (close < css.size() && depth > 0) {
            if (css[close] == '{')
                ++depth;
            else if (css[close] == '}')
                --depth;
            ++close;
        }
        const std::string_view prelude = trim(std::string_view(css).substr(pos, open - pos));
        const std::string_view body
            = std::string_view(css).substr(open + 1, close - open - 2 < css.size() ? close - open - 2 : 0);
        pos = close;
        if (prelude.empty() || prelude[0] == '@') continue;
        const std::vector<Declaration> declarations = parseDeclarations(body);
        std::size_t start = 0;
        while (start <= prelude.size()) {
            std::size_t comma = prelude.find(',', start);
            if (comma == std::string_view::npos) comma = prelude.size();
            Selector selector;
            if (parseSelector(prelude.substr(start, comma - start), selector)) {
                rules.push_back(Rule { std::move(selector), declarations, rules.size() });
                index(rules.size() - 1);
            } else
                ++skippedSelectors;
            start = comma + 1;
        }
    }
}

void StyleSheet::index(std::size_t rule)
{
    const Selector& s = rules[rule].selector;
    if (!s.id.empty())
        byId_[s.id].push_back(rule);
    else if (!s.classes.empty())
        byClass_[s.classes.front()].push_back(rule);
    else if (!s.type.empty())
        byType_[s.type].push_back(rule);
    else
        everyElement_.push_back(rule);
}

std::vector<const Rule*> StyleSheet::match(
    std::string_view type, std::string_view id, std::string_view classes, std::size_t* tried) const
{
    std::vector<std::size_t> candidates = everyElement_;
    auto add
        = [&](const std::unordered_map<std::string, std::vector<std::size_t>>& map, std::string_view key) {
              if (map.empty() || key.empty()) return;
              const auto it = map.find(std::string(key));
              if (it != map.end()) candidates.insert(candidates.end(), it->second.begin(), it->second.end());
          };
    add(byId_, id);
    add(byType_, type);
    // A class named twice in the attribute must not bring its rules twice.
    std::vector<std::string_view> names;
    for (std::size_t i = 0; i < classes.size();) {
        while (i < classes.size() && isSpace(classes[i]))
            ++i;
        const std::size_t start = i;
        while (i < classes.size() && !isSpace(classes[i]))
            ++i;
        if (i > start) names.push_back(classes.substr(start, i - start));
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    for (std::string_view c : names)
        add(byClass_, c);
    if (tried) *tried += candidates.size();
    std::vector<const Rule*> out;
    for (std::size_t k : candidates)
        if (rules[k].selector.matches(type, id, classes)) out.push_back(&rules[k]);
    std::sort(out.begin(), out.end(), [](const Rule* a, const Rule* b) {
        const int sa = a->selector.specificity(), sb = b->selector.specificity();
        return sa != sb ? sa < sb : a->order < b->order;
    });
    return out;
}

} // namespace qorvan::import::svg
