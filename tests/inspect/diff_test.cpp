// The diff on pairs with known edits: what it reports, where, and that the
// same file gives nothing.
#include <gtest/gtest.h>

#include "inspect/diff.h"
#include "inspect/library_layout.h"
#include "inspect/text_form.h"
#include "tests/inspect/files.h"

namespace qorvan::inspect {
namespace {

    using Bytes = std::vector<std::uint8_t>;

    Bytes build(const std::string& text)
    {
        BuildResult r = buildFromText(text);
        EXPECT_TRUE(r.ok) << r.error.line << ":" << r.error.column << " " << r.error.message;
        return r.bytes;
    }

    // A real slide when there is one, else a hand-made one, edited in its text.
    Bytes baseSlide()
    {
        for (const auto& p : testing::realSlideFiles(".sld")) {
            Bytes b = testing::readBytes(p);
            if (b.size() > 200 && b.size() < 5000) return b;
        }
        return build("qorvan-slide 1\nxdots 100\nydots 100\ncolour 7\nvector 1 2 3 4\ncolour 2\nvector 5 6 7 "
                     "8\nend\n");
    }

    std::string edit(std::string text, const std::string& from, const std::string& to)
    {
        std::size_t at = text.find("\n" + from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at == std::string::npos) return text;
        text.replace(at + 1, text.find('\n', at + 1) - at - 1, to);
        return text;
    }

    TEST(DiffLines, ShortestEditTable)
    {
        struct Case {
            std::vector<std::string> a, b;
            std::size_t removed, added;
        };
        const Case cases[] = {
            { {}, {}, 0, 0 },
            { { "a", "b", "c" }, { "a", "b", "c" }, 0, 0 },
            { { "a", "b", "c" }, { "a", "c" }, 1, 0 },
            { { "a", "c" }, { "a", "b", "c" }, 0, 1 },
            { { "a", "b", "c" }, { "a", "x", "c" }, 1, 1 },
            { { "a", "b", "c", "d" }, { "b", "c", "d", "a" }, 1, 1 },
            { {}, { "a", "b" }, 0, 2 },
            { { "a", "b" }, {}, 2, 0 },
            { { "x", "a", "y", "b", "z" }, { "a", "q", "b" }, 3, 1 },
        };
        for (const Case& c : cases) {
            std::vector<LineEdit> e = diffLines(c.a, c.b);
            std::size_t removed = 0, added = 0, ia = 0, ib = 0;
            for (const LineEdit& x : e) {
                // Walking the script must rebuild b from a.
                if (x.kind == LineEdit::Keep) {
                    EXPECT_EQ(c.a[x.a], c.b[x.b]);
                    EXPECT_EQ(x.a, ia++);
                    EXPECT_EQ(x.b, ib++);
                } else if (x.kind == LineEdit::Remove) {
                    EXPECT_EQ(x.a, ia++);
                    ++removed;
                } else {
                    EXPECT_EQ(x.b, ib++);
                    ++added;
                }
            }
            EXPECT_EQ(ia, c.a.size());
            EXPECT_EQ(ib, c.b.size());
            EXPECT_EQ(removed, c.removed);
            EXPECT_EQ(added, c.added);
        }
    }

    TEST(DiffLines, FarApartInputsStillGiveAValidScript)
    {
        std::vector<std::string> a, b;
        for (int i = 0; i < 3000; ++i)
            a.push_back("a" + std::to_string(i)), b.push_back("b" + std::to_string(i));
        std::vector<LineEdit> e = diffLines(a, b, 100);
        std::size_t removed = 0, added = 0;
        for (const LineEdit& x : e)
            (x.kind == LineEdit::Remove ? removed : added) += x.kind != LineEdit::Keep;
        EXPECT_EQ(removed, 3000u);
        EXPECT_EQ(added, 3000u);
    }

    TEST(DiffSlides, KnownEdits)
    {
        const Bytes base = baseSlide();
        const std::string text = dumpSlide(base.data(), base.size(), false);
        EXPECT_FALSE(diffSlides(base, base).differ);

        // Change the first colour, delete the first vector, add one before the end.
        std::string colour = text.substr(text.find("\ncolour ") + 1);
        colour = colour.substr(0, colour.find_first_of(" \n", 7));
        std::string changed = edit(text, colour, "colour 250");
        std::string vector = text.substr(text.find("\nvector ") + 1);
        vector = vector.substr(0, vector.find('\n'));
        changed = edit(changed, vector, "# gone");
        changed = edit(changed, "end", "vector 9 9 9 9\nend");
        const Bytes other = build(changed);
        DiffResult r = diffSlides(base, other);
        ASSERT_TRUE(r.differ);
        EXPECT_NE(r.report.find("- " + colour), std::string::npos) << r.report;
        EXPECT_NE(r.report.find("+ colour 250    (B record 1, byte 31)"), std::string::npos) << r.report;
        EXPECT_NE(r.report.find("- " + vector), std::string::npos) << r.report;
        EXPECT_NE(r.report.find("+ vector 9 9 9 9"), std::string::npos) << r.report;
        std::size_t lines = 0;
        for (char c : r.report)
            lines += c == '\n';
        EXPECT_LE(lines, 9u) << "three edits, three hunks:\n" << r.report;
    }

    TEST(DiffLibraries, AddedRemovedRenamedMovedChanged)
    {
        const Bytes s1 = baseSlide();
        const Bytes s2 = build("qorvan-slide 1\nxdots 10\nydots 10\ncolour 2\nend\n");
        const Bytes s3 = build("qorvan-slide 1\nxdots 20\nydots 20\ncolour 3\nend\n");
        const Bytes s4 = build("qorvan-slide 1\nxdots 30\nydots 30\ncolour 4\nend\n");
        const Bytes s1b = build(edit(dumpSlide(s1.data(), s1.size()), "end", "colour 9\nend"));
        const Bytes s5 = build("qorvan-slide 1\nxdots 50\nydots 50\ncolour 5\nend\n");
        Bytes a = encodeLibrary({ "BOX", "CIRCLE", "OLD", "GONE" }, { s1, s2, s3, s4 });
        Bytes b = encodeLibrary({ "CIRCLE", "BOX", "NEW", "FRESH" }, { s2, s1b, s3, s5 });
        EXPECT_FALSE(diffLibraries(a, a).differ);
        DiffResult r = diffLibraries(a, b);
        ASSERT_TRUE(r.differ);
        EXPECT_NE(r.report.find("removed: \"GONE\" (A entry 4)"), std::string::npos) << r.report;
        EXPECT_NE(r.report.find("added: \"FRESH\" (B entry 4)"), std::string::npos) << r.report;
        EXPECT_NE(r.report.find("renamed: \"OLD\" -> \"NEW\""), std::string::npos) << r.report;
        EXPECT_NE(r.report.find("moved: \""), std::string::npos) << r.report;
        EXPECT_NE(r.report.find("changed: \"BOX\""), std::string::npos) << r.report;
        EXPECT_NE(r.report.find("+ colour 9"), std::string::npos) << r.report;
        EXPECT_EQ(r.report.find("changed: \"CIRCLE\""), std::string::npos) << r.report;

        // Bytes outside any slide are differences too.
        Bytes c = a;
        c[30] = 7; // header spare
        DiffResult spare = diffLibraries(a, c);
        ASSERT_TRUE(spare.differ);
        EXPECT_NE(spare.report.find("header-spare 000700"), std::string::npos) << spare.report;
    }

} // namespace
} // namespace qorvan::inspect
