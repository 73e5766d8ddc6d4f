// The little CSS that drawing programs put in SVG files: style attributes
// ("fill:#f00;stroke-width:2") and <style> sheets of simple selectors
// (type, .class, #id, *, and their compounds such as path.st0). Rules with
// combinators, attribute selectors or pseudo-classes are skipped and
// counted, so the reader can say that some styling was not applied.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qorvan::import::svg {

struct Declaration {
    std::string property; // lower case
    std::string value; // trimmed, without "!important"
};

std::vector<Declaration> parseDeclarations(std::string_view text);

struct Selector {
    std::string type; // empty: any
    std::string id;
    std::vector<std::string> classes;
    int specificity() const;
    bool matches(
        std::string_view elementType, std::string_view elementId, std::string_view classAttribute) const;
};

struct Rule {
    Selector selector;
    std::vector<Declaration> declarations;
    std::size_t order = 0; // position in the sheets, for ties
};

struct StyleSheet {
    std::vector<Rule> rules;
    std::size_t skippedSelectors = 0;

    void parse(std::string_view css);
    // Rules matching the element, in cascade order (lowest first).
    std::vector<const Rule*> match(
        std::string_view type, std::string_view id, std::string_view classes) const;
};

} // namespace qorvan::import::svg
