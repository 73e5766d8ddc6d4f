// qorvan check on sound files and on damaged copies, one kind of damage at a
// time: each is found, with the slide and the byte it is at.
#include <gtest/gtest.h>

#include "store/library.h"
#include "tests/cli/support.h"
#include "tests/slide/slide_builder.h"
#include "tests/support/tempdir.h"

namespace qorvan::testing {
namespace {

    std::string good()
    {
        return SlideBytes::newForm(100, 100).vector(0, 0, 100, 100).end().b;
    }

    void putOffset(std::string& lib, std::size_t entry, std::uint32_t offset)
    {
        for (int k = 0; k < 4; ++k)
            lib[32 + 36 * entry + 32 + static_cast<std::size_t>(k)] = static_cast<char>(offset >> (8 * k));
    }

    TEST(CliCheck, SoundFilesPass)
    {
        TempDir t;
        t.write("a.sld", good());
        t.write("lib.slb", makeLibrary({ { "A", good() }, { "B", good() } }));
        std::vector<std::string> args = { "check", "a.sld", "lib", "lib(b)" };
        auto real = realFiles(".sld"), libs = realFiles(".slb");
        for (const auto& f : real)
            args.push_back(f.string());
        for (const auto& f : libs)
            args.push_back(f.string());
        RunResult r = qorvan(args, t.str());
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(r.err, "");
        EXPECT_NE(r.out.find("lib.slb: ok\n"), std::string::npos) << r.out;
    }

    TEST(CliCheck, FindsEachKindOfDamage)
    {
        const std::string base = makeLibrary({ { "BOX", good() }, { "GEAR", good() }, { "PIN", good() } });
        const std::size_t first = 32 + 36 * 4; // first slide's offset
        const std::size_t slide = good().size();
        struct Case {
            const char* what;
            std::string bytes;
            std::string found;
        };
        std::vector<Case> cases;
        {
            std::string b = base.substr(0, 32 + 36 * 2); // directory cut before its end
            cases.push_back({ "no terminator", b, "lib.slb: byte 104: directory without terminating entry" });
        }
        {
            std::string b = base;
            putOffset(b, 1, static_cast<std::uint32_t>(first + 3 * slide + 10));
            cases.push_back({ "offset out of the file", b,
                "lib.slb: byte 100: slide GEAR: offset " + std::to_string(first + 3 * slide + 10)
                    + " is outside" });
        }
        {
            std::string b = base;
            putOffset(b, 2, static_cast<std::uint32_t>(first));
            cases.push_back({ "offsets out of order", b,
                "lib.slb: byte 136: slide PIN: offset 176 is before the previous slide's" });
        }
        cases.push_back({ "duplicate", makeLibrary({ { "BOX", good() }, { "box", good() } }),
            "lib.slb: byte 68: slide box: duplicate of the name at byte 32: only the first is reachable" });
        cases.push_back({ "lower case", makeLibrary({ { "Box", good() } }),
            "lib.slb: byte 32: slide Box: name is not upper case" });
        cases.push_back({ "unsafe", makeLibrary({ { "A/B", good() } }),
            "lib.slb: byte 32: slide A/B: name unsafe as a file name" });
        cases.push_back(
            { "header", makeLibrary({ { "BOX", SlideBytes::newForm(100, 100, 0, 0x1111).end().b } }),
                "lib.slb(BOX): byte 104: header check fails (Error reading slide file. *Invalid*): "
                "byte-order word reads 0x1111" });
        cases.push_back({ "cut short",
            makeLibrary({ { "BOX", SlideBytes::newForm(100, 100).vector(1, 2, 3, 4).word(7).b } }),
            "lib.slb(BOX): byte " + std::to_string(104 + 31 + 8) + ": record cut short" });
        cases.push_back(
            { "no end", makeLibrary({ { "BOX", SlideBytes::newForm(100, 100).vector(1, 2, 3, 4).b } }),
                "lib.slb(BOX): byte " + std::to_string(104 + 31 + 8) + ": missing end record" });
        cases.push_back({ "outside",
            makeLibrary(
                { { "BOX", SlideBytes::newForm(100, 100).vector(1, 2, 3, 4).vector(500, 2, 3, 4).end().b } }),
            "lib.slb(BOX): byte " + std::to_string(104 + 31 + 8)
                + ": 1 record with coordinates outside the extent 0..100 by 0..100" });
        cases.push_back({ "not a library", std::string(LIBRARY_MAGIC, 20) + std::string(40, 'x'),
            "lib.slb: byte 0: not a slide library" });

        for (const Case& c : cases) {
            TempDir t;
            t.write("lib.slb", c.bytes);
            RunResult r = qorvan({ "check", "lib" }, t.str());
            EXPECT_EQ(r.status, 1) << c.what;
            EXPECT_NE(r.out.find(c.found), std::string::npos) << c.what << "\n" << r.out;
            EXPECT_NE(r.err.find("problem"), std::string::npos) << c.what;
        }
    }

    TEST(CliCheck, SlideFilesAndMissingFiles)
    {
        TempDir t;
        t.write("bad.sld", SlideBytes::newForm(100, 100, 1).end().b);
        t.write("short.sld", std::string("AutoCAD Slide\r\n\x1a", 16));
        RunResult r = qorvan({ "check", "bad.sld", "short", "nosuch.sld" }, t.str());
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.out.find("bad.sld: byte 0: header check fails (Warning--Slide prepared for different "
                             "display.): fill flag 1"),
            std::string::npos)
            << r.out;
        EXPECT_NE(r.out.find("short.SLD: byte 0: header check fails"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("header cut short (16 bytes)"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("nosuch.sld: byte 0: cannot open the file"), std::string::npos) << r.out;
        EXPECT_EQ(r.err, "qorvan: 3 problems in 3 of 3 files\n");
    }

} // namespace
} // namespace qorvan::testing
