// One parser per entity type: each reads the groups of one entity into the
// common Entity form. The reader looks a type up here; a type with no parser
// is left out with a warning.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "import/dxf_groups.h"
#include "import/dxf_model.h"

namespace qorvan::import::dxf {

// What a parser may ask of the reader around it.
class EntityContext {
public:
    virtual ~EntityContext() = default;
    // The index of the layer of this name in the drawing, added when new.
    virtual int layerIndex(std::string_view name) = 0;
    // A warning given once per key, however many entities raise it.
    virtual void warnOnce(const std::string& key, const std::string& text) = 0;
    virtual const std::string& fileName() const = 0;
    // A text value as UTF-8: as it stands in a drawing of a version that
    // writes UTF-8, else read in the drawing's code page.
    virtual std::string text(std::string_view raw) const = 0;
};

// Reads an entity of `type` (upper case) from its groups into e; false when
// the entity draws nothing (an invisible attribute, a definition) and is
// dropped.
using EntityParser
    = bool (*)(std::string_view type, const std::vector<Group>& groups, Entity& e, EntityContext& ctx);

// The parser for a type, or null when the type is not drawn.
EntityParser entityParser(std::string_view type);

} // namespace qorvan::import::dxf
