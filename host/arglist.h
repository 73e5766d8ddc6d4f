// ArgList: the module's view of a chain of the host's result-buffer nodes,
// for reading a function's arguments and for building the list it returns.
// It does not own the nodes; destroying it releases nothing.
#pragma once

#include "host/arx/adsdef.h"

#include <cstddef>
#include <cstdint>

namespace qorvan::host {

// The destination buffers of the handlers: 255 characters and the NUL.
inline constexpr std::size_t ARG_BUFFER = 256;

class ArgList {
public:
    explicit ArgList(resbuf* head = nullptr)
        : head_(head)
    {
    }

    void setHead(resbuf* head) { head_ = head; }
    resbuf* getHead() const { return head_; }

    // The node after the element that starts at node: an atom is one node, a
    // nested list runs from its RTLB to the matching RTLE. Null at the end of
    // the chain, also when a nested list's RTLE is missing.
    static resbuf* nextElement(resbuf* node);
    std::int32_t argCount() const;
    // RTNORM with the first node of element n (from 0), else RTERROR with out
    // unchanged.
    int nthElement(std::int32_t n, resbuf*& out) const;

    // RTNORM with the node's string copied into dest (cap bytes), else
    // RTERROR with dest empty. A value of another type prints the type
    // mismatch message; a string that does not fit, or a string node without
    // a string, is refused silently.
    static int getAtom(const resbuf* node, char* dest, std::size_t cap = ARG_BUFFER);
    // RTNORM with the node's 16-bit value sign-extended, else RTERROR with
    // out unchanged and no message.
    static int getShortAtom(const resbuf* node, std::int32_t& out);
    int getStringArg(std::int32_t n, char* dest, std::size_t cap = ARG_BUFFER) const;
    int getShortArg(std::int32_t n, std::int32_t& out) const;

    // A host node of the type holding a malloc'd copy of text; null when the
    // host gives no node or there is no memory for the copy.
    static resbuf* newStringNode(const char* text, int type);
    resbuf* lastNode() const;
    resbuf* appendNode(resbuf* node);
    // Appends a new string node; returns the head, or null (chain unchanged)
    // when the node could not be made.
    resbuf* appendString(const char* text, int type);

private:
    resbuf* head_;
};

} // namespace qorvan::host
