// An XML document read into a small tree with bounded memory, over expat.
// Only what a drawing reader needs: element names without their namespace
// (elements of other namespaces keep it, so they never pass for SVG),
// attributes, and character data as text nodes in document order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qorvan::import::xml {

struct Node {
    // Element: its local name, or "{namespace}local" outside the default
    // (SVG or none). Text node: empty name, and text holds the characters.
    std::string name;
    std::string text;
    // Attribute names: the plain name, "xlink:" or "xml:" with the local
    // name for those namespaces; attributes of other namespaces are dropped.
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<std::size_t> children; // indices into Document::nodes
    std::size_t line = 0;

    bool isText() const { return name.empty(); }
    // The attribute's value, or nullptr.
    const std::string* attribute(std::string_view key) const;
};

struct Document {
    std::vector<Node> nodes; // nodes[0] is the root element when ok
};

struct ReadLimits {
    std::size_t maxNodes = 1'000'000; // elements and text nodes
    int maxDepth = 256; // element nesting
    std::size_t maxStoredBytes = 256u << 20; // names, attribute values, text
};

// Reads an XML document. On failure returns false and sets error to a
// reason with its line ("line 12: mismatched tag"). Entities declared with
// a system or public identifier (external entities) are refused, not
// fetched; internal entities are expanded under expat's amplification
// guard and count against maxStoredBytes.
bool readDocument(std::string_view bytes, const ReadLimits& limits, Document& out, std::string& error);

} // namespace qorvan::import::xml
