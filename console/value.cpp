// Value helpers, the symbol table and the iterative release of long lists.
#include "console/value.h"

#include "platform/path.h"

#include <algorithm>
#include <unordered_map>

namespace qorvan::console {

Value Value::cons(Value car, Value cdr)
{
    return Value(Storage(std::make_shared<Cons>(std::move(car), std::move(cdr))));
}

Value Value::t()
{
    static Symbol* const tSymbol = intern("T");
    return symbol(tSymbol);
}

bool Value::isT() const
{
    return isSymbol() && asSymbol()->name == "T";
}

const Value& Value::car() const
{
    static const Value nil;
    return isCons() ? asCons().car : nil;
}

const Value& Value::cdr() const
{
    static const Value nil;
    return isCons() ? asCons().cdr : nil;
}

Cons::~Cons()
{
    // Lists nest in both directions: a long cdr chain, and a deep car chain
    // such as (repeat 1000000 (setq l (list l))). Cells this one alone
    // holds are taken apart from a work list, so that releasing them never
    // recurses, however the list was built.
    std::vector<Value::ConsPtr> pending;
    auto detach = [&pending](Value& v) {
        if (auto* p = std::get_if<Value::ConsPtr>(&v.storage()); p && p->use_count() == 1)
            pending.push_back(std::move(*p));
    };
    detach(car);
    detach(cdr);
    while (!pending.empty()) {
        Value::ConsPtr cell = std::move(pending.back());
        pending.pop_back();
        detach(cell->car);
        detach(cell->cdr);
        // cell now holds no other cell alone: its destructor ends at once.
    }
}

namespace {
    std::unordered_map<std::string, std::unique_ptr<Symbol>>& symbolTable()
    {
        static std::unordered_map<std::string, std::unique_ptr<Symbol>> table;
        return table;
    }
} // namespace

std::vector<Symbol*> internedSymbols()
{
    std::vector<Symbol*> all;
    for (auto& [name, symbol] : symbolTable())
        all.push_back(symbol.get());
    std::sort(all.begin(), all.end(), [](const Symbol* a, const Symbol* b) { return a->name < b->name; });
    return all;
}

Symbol* intern(std::string_view name)
{
    auto& table = symbolTable();
    std::string upper = platform::toUpperAscii(name);
    auto it = table.find(upper);
    if (it != table.end()) return it->second.get();
    auto symbol = std::make_unique<Symbol>();
    symbol->name = upper;
    Symbol* raw = symbol.get();
    table.emplace(std::move(upper), std::move(symbol));
    return raw;
}

Value makeList(const std::vector<Value>& items)
{
    Value list;
    for (auto it = items.rbegin(); it != items.rend(); ++it)
        list = Value::cons(*it, std::move(list));
    return list;
}

std::vector<Value> listItems(const Value& list)
{
    std::vector<Value> items;
    for (const Value* p = &list; p->isCons(); p = &p->cdr())
        items.push_back(p->car());
    return items;
}

std::size_t listLength(const Value& list)
{
    std::size_t n = 0;
    for (const Value* p = &list; p->isCons(); p = &p->cdr())
        ++n;
    return n;
}

namespace {

    // Two atoms, or whether two values can only be equal element by element.
    enum class Match { Equal, Different, Lists };

    Match compareAtoms(const Value& a, const Value& b)
    {
        auto is = [](bool same) { return same ? Match::Equal : Match::Different; };
        if (a.isNumber() && b.isNumber()) {
            if (a.isInt() && b.isInt()) return is(a.asInt() == b.asInt());
            return is(a.asNumber() == b.asNumber());
        }
        if (a.isString() && b.isString()) return is(a.asString() == b.asString());
        if (a.isNil() || b.isNil()) return is(a.isNil() && b.isNil());
        if (a.isVoid() || b.isVoid()) return is(a.isVoid() && b.isVoid());
        if (a.isSymbol() && b.isSymbol()) return is(a.asSymbol() == b.asSymbol());
        if (a.isFunction() && b.isFunction()) return is(&a.asFunction() == &b.asFunction());
        if (a.isCons() && b.isCons()) return Match::Lists;
        return Match::Different;
    }

} // namespace

bool valuesEqual(const Value& a, const Value& b)
{
    // Lists may nest as deep as memory allows, in their cars as in their
    // cdrs: the pairs still to compare wait on a work list, not the stack.
    std::vector<std::pair<const Value*, const Value*>> pending { { &a, &b } };
    while (!pending.empty()) {
        auto [p, q] = pending.back();
        pending.pop_back();
        while (true) {
            const Match m = compareAtoms(*p, *q);
            if (m == Match::Different) return false;
            if (m == Match::Equal) break;
            pending.emplace_back(&p->cdr(), &q->cdr());
            p = &p->car();
            q = &q->car();
        }
    }
    return true;
}

} // namespace qorvan::console
