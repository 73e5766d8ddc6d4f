#include "import/xml_tree.h"

// Debian's expat is built with DTD support; the declarations of its
// entity expansion guard are behind this macro.
#ifndef XML_DTD
#define XML_DTD
#endif
#include <expat.h>

#include <climits>
#include <memory>

#include "import/legacy_encodings.h"

namespace qorvan::import::xml {

const std::string* Node::attribute(std::string_view key) const
{
    for (const auto& [k, v] : attributes)
        if (k == key) return &v;
    return nullptr;
}

namespace {

    constexpr char NS_SEP = '\x01';
    constexpr std::string_view SVG_NS = "http://www.w3.org/2000/svg";
    constexpr std::string_view XLINK_NS = "http://www.w3.org/1999/xlink";
    constexpr std::string_view XML_NS = "http://www.w3.org/XML/1998/namespace";

    struct Builder {
        XML_Parser parser = nullptr;
        const ReadLimits& limits;
        Document& doc;
        std::vector<std::size_t> open;
        std::size_t stored = 0;
        std::string error;
        bool rootSeen = false;

        void stop(std::string why)
        {
            if (error.empty())
                error = "line " + std::to_string(XML_GetCurrentLineNumber(parser)) + ": " + std::move(why);
            XML_StopParser(parser, XML_FALSE);
        }

        bool account(std::size_t bytes)
        {
            stored += bytes;
            if (stored > limits.maxStoredBytes) {
                stop("more than " + std::to_string(limits.maxStoredBytes)
                    + " bytes of names, attributes and text");
                return false;
            }
            return true;
        }

        bool newNode()
        {
            if (doc.nodes.size() >= limits.maxNodes) {
                stop("more than " + std::to_string(limits.maxNodes) + " elements and text runs");
                return false;
            }
            doc.nodes.emplace_back();
            doc.nodes.back().line = XML_GetCurrentLineNumber(parser);
            if (!open.empty()) doc.nodes[open.back()].children.push_back(doc.nodes.size() - 1);
            return true;
        }

        static std::string elementName(std::string_view full)
        {
            const std::size_t sep = full.find(NS_SEP);
            if (sep == std::string_view::npos) return std::string(full);
            const std::string_view ns = full.substr(0, sep), local = full.substr(sep + 1);
            if (ns == SVG_NS) return std::string(local);
            return "{" + std::string(ns) + "}" + std::string(local);
        }

        static bool attributeName(std::string_view full, std::string& out)
        {
            const std::size_t sep = full.find(NS_SEP);
            if (sep == std::string_view::npos) {
                out = full;
                return true;
            }
            const std::string_view ns = full.substr(0, sep), local = full.substr(sep + 1);
            if (ns == XLINK_NS)
                out = "xlink:" + std::string(local);
            else if (ns == XML_NS)
                out = "xml:" + std::string(local);
            else if (ns == SVG_NS)
                out = local;
            else
                return false;
            return true;
        }

        void start(const XML_Char* name, const XML_Char** attrs)
        {
            if (open.empty() && rootSeen) return;
            if (static_cast<int>(open.size()) >= limits.maxDepth) {
                stop("elements nested more than " + std::to_string(limits.maxDepth) + " deep");
                return;
            }
            if (!newNode()) return;
            rootSeen = true;
            Node& node = doc.nodes.back();
            node.name = elementName(name);
            std::size_t bytes = node.name.size();
            for (std::size_t i = 0; attrs[i]; i += 2) {
                std::string key;
                if (!attributeName(attrs[i], key)) continue;
                bytes
                    += key.size() + std::char_traits<char>::length(attrs[i + 1]) + sizeof(node.attributes[0]);
                node.attributes.emplace_back(std::move(key), attrs[i + 1]);
            }
            if (!account(bytes + sizeof(Node))) return;
            open.push_back(doc.nodes.size() - 1);
        }

        void end() { open.pop_back(); }

        void text(const XML_Char* s, int len)
        {
            if (open.empty() || len <= 0) return;
            // Only text that gets drawn or read as a style sheet is kept; the
            // white space between other elements would only cost memory. A
            // link may stand inside text and carry some of it.
            const std::string& owner = doc.nodes[open.back()].name;
            if (owner != "text" && owner != "tspan" && owner != "textPath" && owner != "style"
                && owner != "a")
                return;
            if (!account(static_cast<std::size_t>(len))) return;
            Node& parent = doc.nodes[open.back()];
            // Expat hands text over in pieces; one run between tags is one node.
            if (!parent.children.empty() && doc.nodes[parent.children.back()].isText()) {
                doc.nodes[parent.children.back()].text.append(s, static_cast<std::size_t>(len));
                return;
            }
            if (!newNode() || !account(sizeof(Node))) return;
            doc.nodes.back().text.assign(s, static_cast<std::size_t>(len));
        }
    };

    extern "C" {
    static void onStart(void* user, const XML_Char* name, const XML_Char** attrs)
    {
        static_cast<Builder*>(user)->start(name, attrs);
    }
    static void onEnd(void* user, const XML_Char*)
    {
        static_cast<Builder*>(user)->end();
    }
    static void onText(void* user, const XML_Char* s, int len)
    {
        static_cast<Builder*>(user)->text(s, len);
    }
    static void onEntityDecl(void* user, const XML_Char* entityName, int, const XML_Char*, int,
        const XML_Char*, const XML_Char* systemId, const XML_Char* publicId, const XML_Char*)
    {
        if (systemId || publicId)
            static_cast<Builder*>(user)->stop(std::string("external entity \"") + entityName + "\" refused");
    }
    // Bytes a legacy encoding leaves undefined read as the replacement
    // character rather than failing the document: one odd letter should
    // not lose a drawing.
    static int onUnknownEncoding(void* user, const XML_Char* name, XML_Encoding* info)
    {
        const std::uint16_t* upper = legacyEncodingUpperHalf(name);
        if (!upper) {
            Builder& b = *static_cast<Builder*>(user);
            if (b.error.empty()) b.error = std::string("encoding \"") + name + "\" not supported";
            return XML_STATUS_ERROR;
        }
        for (int i = 0; i < 128; ++i)
            info->map[i] = i;
        for (int i = 0; i < 128; ++i)
            info->map[128 + i] = upper[i] ? upper[i] : 0xFFFD;
        info->data = nullptr;
        info->convert = nullptr;
        info->release = nullptr;
        return XML_STATUS_OK;
    }
    static int onExternalEntity(
        XML_Parser, const XML_Char*, const XML_Char*, const XML_Char*, const XML_Char*)
    {
        return XML_STATUS_ERROR;
    }
    }

    struct ParserFree {
        void operator()(XML_ParserStruct* p) const { XML_ParserFree(p); }
    };

} // namespace

bool readDocument(std::string_view bytes, const ReadLimits& limits, Document& out, std::string& error)
{
    out.nodes.clear();
    std::unique_ptr<XML_ParserStruct, ParserFree> parser(XML_ParserCreateNS(nullptr, NS_SEP));
    if (!parser) {
        error = "out of memory";
        return false;
    }
    Builder builder { parser.get(), limits, out, {}, 0, {}, false };
    XML_SetUserData(parser.get(), &builder);
    XML_SetElementHandler(parser.get(), onStart, onEnd);
    XML_SetCharacterDataHandler(parser.get(), onText);
    XML_SetEntityDeclHandler(parser.get(), onEntityDecl);
    XML_SetExternalEntityRefHandler(parser.get(), onExternalEntity);
    XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetUnknownEncodingHandler(parser.get(), onUnknownEncoding, &builder);
    // Internal entities may expand, but not past a small multiple of the
    // input, so a few kilobytes cannot become gigabytes.
    XML_SetBillionLaughsAttackProtectionMaximumAmplification(parser.get(), 20.0f);
    XML_SetBillionLaughsAttackProtectionActivationThreshold(parser.get(), 1u << 20);

    // Fed in pieces: expat takes an int length.
    constexpr std::size_t CHUNK = 1u << 20;
    std::size_t pos = 0;
    do {
        const std::size_t n = std::min(CHUNK, bytes.size() - pos);
        const bool last = pos + n == bytes.size();
        if (XML_Parse(parser.get(), bytes.data() + pos, static_cast<int>(n), last ? XML_TRUE : XML_FALSE)
            != XML_STATUS_OK) {
            if (!builder.error.empty()) {
                error = builder.error;
            } else {
                error = "line " + std::to_string(XML_GetCurrentLineNumber(parser.get())) + ": "
                    + XML_ErrorString(XML_GetErrorCode(parser.get()));
            }
            out.nodes.clear();
            return false;
        }
        pos += n;
    } while (pos < bytes.size());
    if (out.nodes.empty()) {
        error = "no root element";
        return false;
    }
    return true;
}

} // namespace qorvan::import::xml
