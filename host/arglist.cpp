// ArgList: walking, reading and building host result-buffer chains.
#include "host/arglist.h"

#include "host/arx/aced.h"
#include "host/messages.h"
#include "host/result_type.h"

#include <cstdlib>
#include <cstring>

namespace qorvan::host {

resbuf* ArgList::nextElement(resbuf* node)
{
    if (!node) return nullptr;
    if (node->restype != RTLB) return node->rbnext;
    // Iterative over the nesting depth so that a hostile chain of RTLB nodes
    // cannot exhaust the stack.
    long depth = 1;
    for (resbuf* p = node->rbnext; p; p = p->rbnext) {
        if (p->restype == RTLB) {
            ++depth;
        } else if (p->restype == RTLE && --depth == 0) {
            return p->rbnext;
        }
    }
    return nullptr;
}

std::int32_t ArgList::argCount() const
{
    std::int32_t count = 0;
    for (resbuf* p = head_; p; p = nextElement(p))
        ++count;
    return count;
}

int ArgList::nthElement(std::int32_t n, resbuf*& out) const
{
    if (n < 0) return RTERROR;
    resbuf* p = head_;
    for (std::int32_t i = 0; p && i < n; ++i)
        p = nextElement(p);
    if (!p) return RTERROR;
    out = p;
    return RTNORM;
}

int ArgList::getAtom(const resbuf* node, char* dest, std::size_t cap)
{
    if (cap > 0) dest[0] = '\0';
    if (!holdsString(node->restype)) {
        acutPrintf(TYPE_MISMATCH_FORMAT, node->restype);
        return RTERROR;
    }
    const char* text = node->resval.rstring;
    if (!text) return RTERROR;
    const std::size_t length = std::strlen(text);
    if (length >= cap) return RTERROR;
    std::memcpy(dest, text, length + 1);
    return RTNORM;
}

int ArgList::getShortAtom(const resbuf* node, std::int32_t& out)
{
    if (resultTypeOf(node->restype) != RTSHORT) return RTERROR;
    out = node->resval.rint;
    return RTNORM;
}

int ArgList::getStringArg(std::int32_t n, char* dest, std::size_t cap) const
{
    if (cap > 0) dest[0] = '\0';
    resbuf* node = nullptr;
    if (nthElement(n, node) != RTNORM) return RTERROR;
    return getAtom(node, dest, cap);
}

int ArgList::getShortArg(std::int32_t n, std::int32_t& out) const
{
    resbuf* node = nullptr;
    if (nthElement(n, node) != RTNORM) return RTERROR;
    return getShortAtom(node, out);
}

resbuf* ArgList::newStringNode(const char* text, int type)
{
    resbuf* node = acutNewRb(type);
    if (!node) return nullptr;
    const std::size_t size = std::strlen(text) + 1;
    auto* copy = static_cast<char*>(std::malloc(size));
    if (!copy) {
        acutRelRb(node);
        return nullptr;
    }
    std::memcpy(copy, text, size);
    node->resval.rstring = copy;
    return node;
}

resbuf* ArgList::lastNode() const
{
    resbuf* p = head_;
    if (!p) return nullptr;
    while (p->rbnext)
        p = p->rbnext;
    return p;
}

resbuf* ArgList::appendNode(resbuf* node)
{
    if (!head_) {
        head_ = node;
    } else {
        lastNode()->rbnext = node;
    }
    return head_;
}

resbuf* ArgList::appendString(const char* text, int type)
{
    resbuf* node = newStringNode(text, type);
    if (!node) return nullptr;
    return appendNode(node);
}

} // namespace qorvan::host
