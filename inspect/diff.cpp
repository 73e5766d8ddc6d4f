// Both diffs compare the text form's lines without offsets: the text form
// holds every byte, so two files differ exactly when their lines do, and a
// difference reads the way dump prints it.
#include "inspect/diff.h"

#include <algorithm>
#include <map>

#include "inspect/library_layout.h"
#include "inspect/text_form.h"

namespace qorvan::inspect {

namespace {

    std::string num(long long v)
    {
        return std::to_string(v);
    }

    // Trailing common lines are cut first, leading ones too, then the middle is
    // searched greedily by the number of edits (the O(ND) method), keeping each
    // round's furthest reach to walk the path back.
    void middleDiff(const std::vector<std::size_t>& a, const std::vector<std::size_t>& b, std::size_t a0,
        std::size_t a1, std::size_t b0, std::size_t b1, std::size_t maxEdits, std::vector<LineEdit>& out)
    {
        const auto n = static_cast<long>(a1 - a0), m = static_cast<long>(b1 - b0);
        const long max = std::min<long>(n + m, static_cast<long>(maxEdits));
        const long offset = max + 1;
        std::vector<long> v(static_cast<std::size_t>(2 * max + 3), 0);
        // Round d keeps the reach of round d - 1 for diagonals -d..d: memory
        // grows with the square of the edits, which maxEdits bounds.
        std::vector<std::vector<long>> trace;
        long found = -1;
        for (long d = 0; d <= max && found < 0; ++d) {
            trace.emplace_back(v.begin() + (offset - d), v.begin() + (offset + d + 1));
            for (long k = -d; k <= d; k += 2) {
                auto at = [&](long kk) -> long& { return v[static_cast<std::size_t>(kk + offset)]; };
                long x = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? at(k + 1) : at(k - 1) + 1;
                long y = x - k;
                while (x < n && y < m
                    && a[a0 + static_cast<std::size_t>(x)] == b[b0 + static_cast<std::size_t>(y)])
                    ++x, ++y;
                at(k) = x;
                if (x >= n && y >= m) {
                    found = d;
                    break;
                }
            }
        }
        if (found < 0) {
            // Too far apart to be worth the shortest script: all out, all in.
            for (long i = 0; i < n; ++i)
                out.push_back({ LineEdit::Remove, a0 + static_cast<std::size_t>(i), b0 });
            for (long j = 0; j < m; ++j)
                out.push_back({ LineEdit::Add, a1, b0 + static_cast<std::size_t>(j) });
            return;
        }
        std::vector<LineEdit> rev;
        long x = n, y = m;
        for (long d = found; d > 0; --d) {
            const std::vector<long>& pv = trace[static_cast<std::size_t>(d)];
            auto at = [&](long kk) { return pv[static_cast<std::size_t>(kk + d)]; };
            const long k = x - y;
            const long prevK = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? k + 1 : k - 1;
            const long prevX = at(prevK), prevY = prevX - prevK;
            while (x > prevX && y > prevY) {
                --x, --y;
                rev.push_back(
                    { LineEdit::Keep, a0 + static_cast<std::size_t>(x), b0 + static_cast<std::size_t>(y) });
            }
            if (x == prevX)
                rev.push_back(
                    { LineEdit::Add, a0 + static_cast<std::size_t>(x), b0 + static_cast<std::size_t>(--y) });
            else
                rev.push_back({ LineEdit::Remove, a0 + static_cast<std::size_t>(--x),
                    b0 + static_cast<std::size_t>(y) });
            x = prevX, y = prevY;
        }
        while (x > 0 && y > 0) {
            --x, --y;
            rev.push_back(
                { LineEdit::Keep, a0 + static_cast<std::size_t>(x), b0 + static_cast<std::size_t>(y) });
        }
        out.insert(out.end(), rev.rbegin(), rev.rend());
    }

} // namespace

std::vector<LineEdit> diffLines(
    const std::vector<std::string>& a, const std::vector<std::string>& b, std::size_t maxEdits)
{
    // Lines as small numbers, so the search compares integers.
    std::map<std::string, std::size_t> ids;
    auto intern = [&](const std::vector<std::string>& lines) {
        std::vector<std::size_t> out;
        out.reserve(lines.size());
        for (const std::string& l : lines)
            out.push_back(ids.emplace(l, ids.size()).first->second);
        return out;
    };
    const std::vector<std::size_t> ia = intern(a), ib = intern(b);
    std::size_t lead = 0;
    while (lead < ia.size() && lead < ib.size() && ia[lead] == ib[lead])
        ++lead;
    std::size_t tail = 0;
    while (tail < ia.size() - lead && tail < ib.size() - lead
        && ia[ia.size() - 1 - tail] == ib[ib.size() - 1 - tail])
        ++tail;
    std::vector<LineEdit> out;
    for (std::size_t i = 0; i < lead; ++i)
        out.push_back({ LineEdit::Keep, i, i });
    middleDiff(ia, ib, lead, ia.size() - tail, lead, ib.size() - tail, maxEdits, out);
    for (std::size_t i = 0; i < tail; ++i)
        out.push_back({ LineEdit::Keep, ia.size() - tail + i, ib.size() - tail + i });
    return out;
}

namespace {

    std::vector<std::string> textsOf(const std::vector<TextLine>& lines)
    {
        std::vector<std::string> out;
        out.reserve(lines.size());
        for (const TextLine& l : lines)
            out.push_back(l.text);
        return out;
    }

    std::string place(const TextLine& l)
    {
        std::string s = l.where;
        if (l.offset >= 0) s += (s.empty() ? "" : ", ") + std::string("byte ") + num(l.offset);
        return s;
    }

    // Hunks of changed lines, each line with its place on its own side.
    std::string hunks(const std::vector<TextLine>& a, const std::vector<TextLine>& b)
    {
        std::vector<LineEdit> edits = diffLines(textsOf(a), textsOf(b));
        std::string out;
        for (std::size_t i = 0; i < edits.size();) {
            if (edits[i].kind == LineEdit::Keep) {
                ++i;
                continue;
            }
            std::size_t j = i;
            while (j < edits.size() && edits[j].kind != LineEdit::Keep)
                ++j;
            const LineEdit& first = edits[i];
            auto where = [](const std::vector<TextLine>& side, std::size_t index) {
                return index < side.size() ? place(side[index]) : std::string("the end");
            };
            out += "@@ A at " + where(a, first.a) + "; B at " + where(b, first.b) + "\n";
            for (std::size_t k = i; k < j; ++k) {
                const LineEdit& e = edits[k];
                if (e.kind == LineEdit::Remove) out += "- " + a[e.a].text + "    (A " + place(a[e.a]) + ")\n";
            }
            for (std::size_t k = i; k < j; ++k) {
                const LineEdit& e = edits[k];
                if (e.kind == LineEdit::Add) out += "+ " + b[e.b].text + "    (B " + place(b[e.b]) + ")\n";
            }
            i = j;
        }
        return out;
    }

    std::string quoted(const std::string& name)
    {
        return quoteBytes(reinterpret_cast<const std::uint8_t*>(name.data()), name.size());
    }

    struct LibrarySlide {
        std::string name;
        std::vector<std::uint8_t> bytes;
        std::size_t entry = 0; // 1-based
    };

    // Each entry's slide as the store hands it out: its offset up to the next
    // entry's, cut to the file.
    std::vector<LibrarySlide> slidesOf(const std::vector<std::uint8_t>& file, const LibraryLayout& l)
    {
        std::vector<LibrarySlide> out;
        const auto size = static_cast<std::int64_t>(file.size());
        for (std::size_t i = 0; i < l.entries.size(); ++i) {
            const LayoutEntry& e = l.entries[i];
            LibrarySlide s { e.name, {}, i + 1 };
            const std::int64_t begin = e.offset,
                               end = std::min(size, begin + std::max<std::int64_t>(e.size, 0));
            if (begin >= 0 && begin < end) s.bytes.assign(file.begin() + begin, file.begin() + end);
            out.push_back(std::move(s));
        }
        return out;
    }

    // The library's lines outside its slides: header, entries' padding and
    // stray offsets, the terminator, bytes in no slide.
    std::vector<TextLine> framingLines(const std::vector<std::uint8_t>& file, const LibraryLayout& l)
    {
        std::vector<TextLine> out;
        TextLine head { "", "", -1, "library" };
        if (!l.headerComplete) {
            out.push_back({ "bytes " + hexBytes(file.data(), file.size()), "", 0, "library" });
            return out;
        }
        out.push_back({ "magic " + quoteBytes(file.data(), 29), "", 0, "header" });
        out.push_back({ "header-spare " + hexBytes(file.data() + 29, 3), "", 29, "header" });
        for (std::size_t i = 0; i < l.entries.size(); ++i) {
            const LayoutEntry& e = l.entries[i];
            std::string extra;
            if (!e.pad.empty()) extra += " pad=" + hexBytes(e.pad.data(), e.pad.size());
            if (e.section < 0) extra += " offset=" + num(e.offset);
            if (!extra.empty())
                out.push_back(
                    { "entry " + quoted(e.name) + extra, "", static_cast<std::int64_t>(e.at), "directory" });
        }
        if (l.terminated)
            out.push_back(
                { "terminator " + hexBytes(file.data() + l.terminatorAt, l.bodyStart - l.terminatorAt), "",
                    static_cast<std::int64_t>(l.terminatorAt), "directory" });
        else
            out.push_back({ "no-terminator", "", static_cast<std::int64_t>(l.bodyStart), "directory" });
        const std::size_t first = l.sections.empty() ? file.size() : l.sections.front().begin;
        if (first > l.bodyStart)
            out.push_back({ "bytes " + hexBytes(file.data() + l.bodyStart, first - l.bodyStart), "",
                static_cast<std::int64_t>(l.bodyStart), "in no slide" });
        return out;
    }

} // namespace

DiffResult diffSlides(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
{
    DiffResult r;
    if (a == b) return r;
    r.differ = true;
    r.report = hunks(slideLines(a.data(), a.size()), slideLines(b.data(), b.size()));
    return r;
}

DiffResult diffLibraries(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
{
    DiffResult r;
    if (a == b) return r;
    r.differ = true;
    const LibraryLayout la = decodeLibraryLayout(a.data(), a.size()),
                        lb = decodeLibraryLayout(b.data(), b.size());
    const std::vector<LibrarySlide> sa = slidesOf(a, la), sb = slidesOf(b, lb);
    std::string summary, details;

    // Pair slides by name (the k-th of a name with the k-th), then the rest
    // by identical bytes (renamed).
    std::vector<int> pairOfA(sa.size(), -1), pairOfB(sb.size(), -1);
    std::map<std::string, std::vector<std::size_t>> byName;
    for (std::size_t j = 0; j < sb.size(); ++j)
        byName[sb[j].name].push_back(j);
    std::map<std::string, std::size_t> used;
    for (std::size_t i = 0; i < sa.size(); ++i) {
        auto it = byName.find(sa[i].name);
        std::size_t& k = used[sa[i].name];
        if (it != byName.end() && k < it->second.size()) {
            pairOfA[i] = static_cast<int>(it->second[k]);
            pairOfB[it->second[k]] = static_cast<int>(i);
            ++k;
        }
    }
    std::vector<bool> renamed(sa.size(), false);
    for (std::size_t i = 0; i < sa.size(); ++i) {
        if (pairOfA[i] >= 0) continue;
        for (std::size_t j = 0; j < sb.size(); ++j) {
            if (pairOfB[j] >= 0 || sb[j].bytes != sa[i].bytes) continue;
            pairOfA[i] = static_cast<int>(j);
            pairOfB[j] = static_cast<int>(i);
            renamed[i] = true;
            break;
        }
    }
    for (std::size_t i = 0; i < sa.size(); ++i)
        if (pairOfA[i] < 0)
            summary += "removed: " + quoted(sa[i].name) + " (A entry "
                + num(static_cast<long long>(sa[i].entry)) + ")\n";
    for (std::size_t j = 0; j < sb.size(); ++j)
        if (pairOfB[j] < 0)
            summary += "added: " + quoted(sb[j].name) + " (B entry "
                + num(static_cast<long long>(sb[j].entry)) + ")\n";
    for (std::size_t i = 0; i < sa.size(); ++i)
        if (renamed[i])
            summary += "renamed: " + quoted(sa[i].name) + " -> "
                + quoted(sb[static_cast<std::size_t>(pairOfA[i])].name) + "\n";

    // Moved: the pairs outside the longest run that keeps its order.
    std::vector<std::size_t> order; // A indices of pairs, in A order
    for (std::size_t i = 0; i < sa.size(); ++i)
        if (pairOfA[i] >= 0) order.push_back(i);
    std::vector<std::size_t> tails, tailAt, parent(order.size(), SIZE_MAX);
    for (std::size_t k = 0; k < order.size(); ++k) {
        const auto key = static_cast<std::size_t>(pairOfA[order[k]]);
        std::size_t pos
            = static_cast<std::size_t>(std::lower_bound(tails.begin(), tails.end(), key) - tails.begin());
        if (pos == tails.size())
            tails.push_back(key), tailAt.push_back(k);
        else
            tails[pos] = key, tailAt[pos] = k;
        if (pos > 0) parent[k] = tailAt[pos - 1];
    }
    std::vector<bool> inOrder(order.size(), false);
    for (std::size_t k = tailAt.empty() ? SIZE_MAX : tailAt.back(); k != SIZE_MAX; k = parent[k])
        inOrder[k] = true;
    for (std::size_t k = 0; k < order.size(); ++k) {
        if (inOrder[k]) continue;
        const std::size_t i = order[k], j = static_cast<std::size_t>(pairOfA[i]);
        summary += "moved: " + quoted(sb[j].name) + " (A entry " + num(static_cast<long long>(sa[i].entry))
            + ", B entry " + num(static_cast<long long>(sb[j].entry)) + ")\n";
    }
    for (std::size_t i = 0; i < sa.size(); ++i) {
        if (pairOfA[i] < 0 || renamed[i]) continue;
        const LibrarySlide& x = sa[i];
        const LibrarySlide& y = sb[static_cast<std::size_t>(pairOfA[i])];
        if (x.bytes == y.bytes) continue;
        summary += "changed: " + quoted(x.name) + "\n";
        details += "== " + quoted(x.name) + " (A entry " + num(static_cast<long long>(x.entry)) + ", B entry "
            + num(static_cast<long long>(y.entry)) + ")\n";
        details
            += hunks(slideLines(x.bytes.data(), x.bytes.size()), slideLines(y.bytes.data(), y.bytes.size()));
    }
    const std::string framing = hunks(framingLines(a, la), framingLines(b, lb));
    if (!framing.empty()) details += "== the library around its slides\n" + framing;
    r.report = summary + details;
    if (r.report.empty()) {
        // Same slides, same framing: what is left is where the slides sit.
        r.report = "the same slides at other byte offsets\n";
    }
    return r;
}

} // namespace qorvan::inspect
