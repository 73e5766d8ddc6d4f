// Value <-> result-buffer chain conversions.
#include "console/convert.h"

#include "console/interpreter.h"
#include "console/printer.h"
#include "host/arx/adsdef.h"
#include "host/result_type.h"

#include <cstdlib>
#include <cstring>

namespace qorvan::console {

namespace {

    // Nesting deeper than this is refused when a value is handed to a module.
    constexpr int CHAIN_DEPTH_LIMIT = 1000;

    struct ChainBuilder {
        resbuf* head = nullptr;
        resbuf* tail = nullptr;

        resbuf* add(int type)
        {
            resbuf* node = newNode(type);
            if (!node) throw LispError("insufficient memory");
            if (tail) {
                tail->rbnext = node;
            } else {
                head = node;
            }
            tail = node;
            return node;
        }

        void value(const Value& v, int depth)
        {
            if (depth > CHAIN_DEPTH_LIMIT) throw LispError("internal stack limit reached");
            if (v.isNil() || v.isVoid()) {
                add(RTNIL);
            } else if (v.isT()) {
                add(RTT);
            } else if (v.isInt()) {
                const std::int32_t i = v.asInt();
                if (i >= -32768 && i <= 32767) {
                    add(RTSHORT)->resval.rint = static_cast<short>(i);
                } else {
                    add(RTLONG)->resval.rlong = i;
                }
            } else if (v.isReal()) {
                add(RTREAL)->resval.rreal = v.asReal();
            } else if (v.isString()) {
                resbuf* node = add(RTSTR);
                const std::string& s = v.asString();
                auto* copy = static_cast<char*>(std::malloc(s.size() + 1));
                if (!copy) throw LispError("insufficient memory");
                std::memcpy(copy, s.c_str(), s.size() + 1);
                node->resval.rstring = copy;
            } else if (v.isCons()) {
                add(RTLB);
                const Value* p = &v;
                for (; p->isCons(); p = &p->cdr())
                    value(p->car(), depth + 1);
                if (!p->isNil()) {
                    add(RTDOTE);
                    value(*p, depth + 1);
                }
                add(RTLE);
            } else {
                throw LispError("bad argument type: " + prin1Form(v));
            }
        }
    };

    Value atomOf(const resbuf* node)
    {
        switch (node->restype) {
        case RTSHORT:
            return Value::integer(node->resval.rint);
        case RTLONG:
            return Value::integer(node->resval.rlong);
        case RTREAL:
        case RTANG:
        case RTORINT:
            return Value::real(node->resval.rreal);
        case RTSTR:
            return Value::string(node->resval.rstring ? node->resval.rstring : "");
        case RTT:
            return Value::t();
        case RTVOID:
            return Value::voidValue();
        case RTPOINT:
            return makeList({ Value::real(node->resval.rpoint[0]), Value::real(node->resval.rpoint[1]) });
        case RT3DPOINT:
            return makeList({ Value::real(node->resval.rpoint[0]), Value::real(node->resval.rpoint[1]),
                Value::real(node->resval.rpoint[2]) });
        default:
            return Value();
        }
    }

    // A list under construction: its items and a dotted tail.
    struct Frame {
        std::vector<Value> items;
        bool dotted = false;
        Value tail;
    };

    Value close(Frame& f)
    {
        Value out = std::move(f.tail);
        for (auto it = f.items.rbegin(); it != f.items.rend(); ++it)
            out = Value::cons(std::move(*it), std::move(out));
        return out;
    }

} // namespace

resbuf* toChain(const std::vector<Value>& values)
{
    ChainBuilder b;
    try {
        for (const Value& v : values)
            b.value(v, 0);
    } catch (...) {
        releaseChain(b.head);
        throw;
    }
    return b.head;
}

Value fromChain(const resbuf* chain)
{
    std::vector<Frame> stack(1);
    auto put = [&stack](Value v) {
        Frame& top = stack.back();
        if (top.dotted) {
            top.tail = std::move(v);
        } else {
            top.items.push_back(std::move(v));
        }
    };
    for (const resbuf* p = chain; p; p = p->rbnext) {
        if (p->restype == RTLB) {
            stack.emplace_back();
        } else if (p->restype == RTLE) {
            if (stack.size() == 1) continue;
            Value list = close(stack.back());
            stack.pop_back();
            put(std::move(list));
        } else if (p->restype == RTDOTE) {
            stack.back().dotted = true;
        } else {
            put(atomOf(p));
        }
    }
    while (stack.size() > 1) {
        Value list = close(stack.back());
        stack.pop_back();
        put(std::move(list));
    }
    return close(stack.back());
}

resbuf* newNode(int type)
{
    auto* node = static_cast<resbuf*>(std::calloc(1, sizeof(resbuf)));
    if (node) node->restype = static_cast<short>(type);
    return node;
}

void releaseChain(resbuf* chain)
{
    while (chain) {
        resbuf* next = chain->rbnext;
        if (host::holdsString(chain->restype)) std::free(chain->resval.rstring);
        std::free(chain);
        chain = next;
    }
}

} // namespace qorvan::console
