// The little CSS that drawing programs put in SVG files: style attributes
// ("fill:#f00;stroke-width:2") and <style> sheets of simple selectors
// (type, .class, #id, *, and their compounds such as path.st0). Rules with
// combinators, attribute selectors or pseudo-classes are skipped and
// counted, so the reader can say that some styling was not applied.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
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
    // Rules matching the element, in cascade order (lowest first). Only the
    // rules that name the element's id, one of its classes or its type (or
    // name none of them) are tried; *tried is increased by their number.
    std::vector<const Rule*> match(std::string_view type, std::string_view id, std::string_view classes,
        std::size_t* tried = nullptr) const;

private:
    void index(std::size_t rule);
    // Each rule under one key of its selector (the id, else its first class,
    // else its type; else among the rules for every element), so that an
    // element is tried against the rules that can match it, not all.
    std::unordered_map<std::string, std::vector<std::size_t>> byId_, byClass_, byType_;
    std::vector<std::size_t> everyElement_;
};

} // namespace qorvan::import::svg
