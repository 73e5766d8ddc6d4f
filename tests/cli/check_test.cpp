// qorvan check on crafted inputs, each in a folder of its own, all checked
// at once in each of three ways (plain, --quiet, --json): damage is an
// error, an oddity a warning, each with its slide and byte; the JSON
// document is read back by an independent parser. The exit status, which
// fails on warnings only under --strict, is checked input by input.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "slide/byte_order.h"
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

    std::string bigEndian(const std::string& little)
    {
        const auto* p = reinterpret_cast<const std::uint8_t*>(little.data());
        std::vector<std::uint8_t> big = slide::transcodeSlide(
            p, little.size(), slide::ByteOrder::Little, slide::ByteOrder::Big, slide::SlideForm::Keep);
        return std::string(big.begin(), big.end());
    }

    // A --json report as Python's own parser reads it: per file a line
    // "= FILE", then its problems in document order ("severity kind offset",
    // offset "-" when unknown); the summary ("files slides errors warnings")
    // last.
    constexpr const char* PYTHON = "/usr/bin/python3";
    constexpr const char* READ_JSON = R"(
import json, sys
d = json.loads(sys.stdin.buffer.read().decode("utf-8"))
def show(p):
    print(p["severity"], p["kind"], "-" if p["offset"] is None else p["offset"])
for f in d["files"]:
    print("=", f["file"])
    for p in f["problems"]: show(p)
    for s in f["slides"]:
        for p in s["problems"]: show(p)
s = d["summary"]
print(s["files"], s["slides"], s["errors"], s["warnings"])
)";

    struct Expect {
        const char* severity;
        const char* kind;
        long offset; // -1: none given
        std::string subject; // what the line names
        std::string text; // part of the message
    };

    struct Case {
        const char* what;
        const char* file; // written in the folder
        std::string bytes;
        std::string operand;
        std::size_t slides;
        std::vector<Expect> expect;
    };

    std::vector<Case> cases()
    {
        const std::string base = makeLibrary({ { "BOX", good() }, { "GEAR", good() }, { "PIN", good() } });
        const auto first = static_cast<long>(32 + 36 * 4); // the first slide's offset
        const auto slide = static_cast<long>(good().size());
        std::vector<Case> c;
        c.push_back({ "sound slide", "a.sld", good(), "a.sld", 1, {} });
        c.push_back({ "sound library", "lib.slb", base, "lib", 3, {} });
        c.push_back({ "empty library", "lib.slb", makeLibrary({}), "lib", 0, {} });
        // Oddities the renderer copes with.
        c.push_back({ "outside the area", "a.sld",
            SlideBytes::newForm(100, 100).vector(1, 2, 3, 4).vector(500, 2, 3, 4).end().b, "a.sld", 1,
            { { "warning", "outside-area", 39, "a.sld",
                "1 record with coordinates outside the extent 0..100 by 0..100" } } });
        c.push_back({ "-1 written as 65535 is no oddity", "a.sld",
            SlideBytes::newForm(100, 100).vector(1, 2, 65535, 65535).end().b, "a.sld", 1, {} });
        c.push_back({ "record type of an old release", "a.sld",
            SlideBytes::newForm(100, 100).word(0x8012).vector(1, 2, 3, 4).word(0xFA00).end().b, "a.sld", 1,
            { { "warning", "unknown-record-type", 31, "a.sld", "2 record words of no known type" } } });
        c.push_back({ "no end record", "a.sld", SlideBytes::newForm(100, 100).vector(1, 2, 3, 4).b, "a.sld",
            1, { { "warning", "no-end-record", 39, "a.sld", "no end record" } } });
        c.push_back({ "lower-case name", "lib.slb", makeLibrary({ { "Box", good() } }), "lib", 1,
            { { "warning", "lower-case-name", 32, "lib.slb", "slide Box: name is not upper case" } } });
        c.push_back({ "duplicate name", "lib.slb", makeLibrary({ { "BOX", good() }, { "box", good() } }),
            "lib", 2,
            { { "warning", "duplicate-name", 68, "lib.slb", "slide box: duplicate of the name at byte 32" },
                { "warning", "lower-case-name", 68, "lib.slb", "slide box: name is not upper case" } } });
        c.push_back({ "unsafe name", "lib.slb", makeLibrary({ { "A/B", good() } }), "lib", 1,
            { { "warning", "unsafe-name", 32, "lib.slb", "slide A/B: name unsafe as a file name" } } });
        // Damage.
        c.push_back({ "record cut short", "a.sld", SlideBytes::newForm(100, 100).vector(1, 2, 3, 4).word(7).b,
            "a.sld", 1, { { "error", "record-cut-short", 39, "a.sld", "record cut short" } } });
        c.push_back({ "header cut short", "a.sld", std::string("AutoCAD Slide\r\n\x1a", 16), "a.sld", 1,
            { { "error", "header-cut-short", 0, "a.sld", "header cut short (16 bytes)" } } });
        {
            std::string b = good();
            b[0] = 'a';
            c.push_back({ "signature", "a.sld", b, "a.sld", 1,
                { { "error", "bad-signature", 0, "a.sld", "signature is not" } } });
        }
        c.push_back({ "fill flag", "a.sld", SlideBytes::newForm(100, 100, 1).end().b, "a.sld", 1,
            { { "error", "bad-fill-flag", 27, "a.sld", "fill flag 1 is neither 0 nor 2" } } });
        c.push_back({ "byte-order word", "a.sld", SlideBytes::newForm(100, 100, 0, 0x1111).end().b, "a.sld",
            1, { { "error", "bad-byte-order-word", 29, "a.sld", "byte-order word reads 0x1111" } } });
        c.push_back({ "big-endian", "a.sld", bigEndian(good()), "a.sld", 1,
            { { "error", "big-endian", 0, "a.sld", "the slide was written high byte first" } } });
        c.push_back({ "directory unterminated", "lib.slb", base.substr(0, 32 + 36 * 2), "lib", 2,
            { { "error", "directory-unterminated", 104, "lib.slb",
                "directory without terminating entry" } } });
        {
            std::string b = base;
            putOffset(b, 1, static_cast<std::uint32_t>(first + 3 * slide + 10));
            // GEAR's own bytes are still there, with no entry pointing at them.
            c.push_back({ "offset past the end", "lib.slb", b, "lib", 3,
                { { "error", "hidden-slide", first + slide, "lib.slb",
                      "a slide that no directory entry points at (qorvan salvage" },
                    { "error", "offset-outside", 100, "lib.slb",
                        "slide GEAR: offset " + std::to_string(first + 3 * slide + 10) + " is outside" } } });
        }
        {
            std::string b = base;
            putOffset(b, 2, static_cast<std::uint32_t>(first));
            // PIN now shares BOX's bytes, and GEAR runs backwards into them.
            c.push_back({ "slides overlap", "lib.slb", b, "lib", 3,
                { { "error", "hidden-slide", first + 2 * slide, "lib.slb",
                      "a slide that no directory entry" },
                    { "error", "slides-overlap", 136, "lib.slb",
                        "slide PIN: offset 176 is before the previous slide's ("
                            + std::to_string(first + slide) + "): the two overlap" } } });
        }
        {
            // Entries zeroed: the directory reads as a sound one of one
            // slide, and the other two are there for salvage to find.
            std::string b = base;
            std::fill_n(b.begin() + 32 + 36, 36, '\0');
            c.push_back({ "entries zeroed", "lib.slb", b, "lib", 1,
                { { "error", "hidden-slide", first + slide, "lib.slb", "a slide that no directory entry" },
                    { "error", "hidden-slide", first + 2 * slide, "lib.slb",
                        "a slide that no directory entry" } } });
        }
        {
            // Bytes before the first slide that no slide holds.
            std::string b = makeLibrary({ { "BOX", good() } });
            b.insert(32 + 36 * 2, std::string(8, '\0'));
            putOffset(b, 0, 32 + 36 * 2 + 8);
            c.push_back({ "bytes before the first slide", "lib.slb", b, "lib", 1,
                { { "warning", "unheld-bytes", 32 + 36 * 2, "lib.slb",
                    "8 bytes between the directory's end and the first slide" } } });
        }
        c.push_back({ "damage inside a library's slide", "lib.slb",
            makeLibrary({ { "OK", good() }, { "BOX", SlideBytes::newForm(100, 100, 0, 0x1111).end().b } }),
            "lib", 2,
            { { "error", "bad-byte-order-word", 32 + 36 * 3 + static_cast<long>(good().size()) + 29,
                "lib.slb(BOX)", "byte-order word" } } });
        c.push_back({ "not a library", "lib.slb", std::string(LIBRARY_MAGIC, 20) + std::string(40, 'x'),
            "lib", 0, { { "error", "not-a-library", 0, "lib.slb", "not a slide library" } } });
        c.push_back({ "missing", "other.sld", good(), "nosuch.sld", 0,
            { { "error", "unreadable", -1, "nosuch.sld", "cannot be read: No such file or directory" } } });
        // A slide named inside its library: offsets from the library's start.
        c.push_back({ "library slide", "lib.slb",
            makeLibrary({ { "OK", good() }, { "ODD", SlideBytes::newForm(100, 100).vector(1, 2, 3, 4).b } }),
            "lib(odd)", 1,
            { { "warning", "no-end-record", 32 + 36 * 3 + static_cast<long>(good().size()) + 39, "lib(odd)",
                "no end record" } } });
        c.push_back({ "library slide not there", "lib.slb", base, "lib(nosuch)", 0,
            { { "error", "slide-not-found", -1, "lib(nosuch)", "Slide NOSUCH not found in library" } } });
        return c;
    }

    std::string problemLine(const Expect& e)
    {
        return e.subject + ": " + (e.offset >= 0 ? "byte " + std::to_string(e.offset) + ": " : "")
            + e.severity + ": ";
    }

    std::vector<std::string> linesOf(const std::string& text)
    {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string l; std::getline(in, l);)
            out.push_back(l);
        return out;
    }

    std::string counted(std::size_t n, const char* word)
    {
        return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
    }

    // Each case in folder cNN, named from there, so that one run of each kind
    // covers them all (a run of qorvan under the sanitizers takes a while).
    TEST(CliCheck, EachInputEachWay)
    {
        const std::vector<Case> all = cases();
        TempDir t;
        std::vector<std::string> plainArgs = { "check" };
        std::string wantLines, wantQuiet, wantJson;
        std::size_t slides = 0, errors = 0, warnings = 0;
        for (std::size_t i = 0; i < all.size(); ++i) {
            const Case& c = all[i];
            const std::string dir = (i < 10 ? "c0" : "c") + std::to_string(i) + "/";
            t.write(dir + c.file, c.bytes);
            plainArgs.push_back(dir + c.operand);
            slides += c.slides;
            // A report names the file it read, or the operand where there is
            // no file of its own (a missing one, a slide in a library).
            const bool named = c.operand.find('(') != std::string::npos || c.operand.rfind("nosuch", 0) == 0;
            wantJson += "= " + dir + (named ? c.operand : std::string(c.file)) + "\n";
            for (const Expect& e : c.expect) {
                ++(std::string(e.severity) == "error" ? errors : warnings);
                Expect here = e;
                here.subject = dir + e.subject;
                // The message is matched in part: the line is cut after it.
                const std::string line = problemLine(here) + e.text;
                wantLines += line + "\n";
                wantQuiet += line + "\n";
                wantJson += std::string(e.severity) + " " + e.kind + " "
                    + (e.offset >= 0 ? std::to_string(e.offset) : std::string("-")) + "\n";
            }
            if (c.expect.empty()) wantLines += dir + c.file + ": ok\n";
        }
        const std::string summary = "checked " + counted(all.size(), "file") + ", " + counted(slides, "slide")
            + ": " + counted(errors, "error") + ", " + counted(warnings, "warning");
        wantLines += summary + "\n";

        // Each line as far as the start of its message the case names.
        auto cut = [](const std::string& out, const std::string& want) {
            const std::vector<std::string> got = linesOf(out), wanted = linesOf(want);
            std::string shown;
            for (std::size_t i = 0; i < got.size(); ++i)
                shown += (i < wanted.size() && got[i].rfind(wanted[i], 0) == 0 ? wanted[i] : got[i]) + "\n";
            return shown;
        };

        RunResult plain = qorvan(plainArgs, t.str());
        EXPECT_EQ(plain.status, 1);
        EXPECT_EQ(plain.err, "");
        EXPECT_EQ(cut(plain.out, wantLines), wantLines);

        std::vector<std::string> quietArgs = plainArgs;
        quietArgs.insert(quietArgs.begin() + 1, "-q");
        RunResult quiet = qorvan(quietArgs, t.str());
        EXPECT_EQ(quiet.status, 1);
        EXPECT_EQ(quiet.err, "");
        EXPECT_EQ(cut(quiet.out, wantQuiet), wantQuiet);

        std::vector<std::string> jsonArgs = plainArgs;
        jsonArgs.insert(jsonArgs.begin() + 1, "--json");
        RunResult json = qorvan(jsonArgs, t.str());
        EXPECT_EQ(json.status, 1);
        EXPECT_EQ(json.err, "");
        if (!std::filesystem::exists(PYTHON)) GTEST_SKIP() << "no " << PYTHON << " to read the JSON";
        RunResult read = run(PYTHON, { "-c", READ_JSON }, "", json.out);
        ASSERT_EQ(read.status, 0) << read.err << json.out;
        wantJson += std::to_string(all.size()) + " " + std::to_string(slides) + " " + std::to_string(errors)
            + " " + std::to_string(warnings) + "\n";
        EXPECT_EQ(read.out, wantJson) << json.out;
    }

    // Errors fail whatever the options (the table above); a warning fails
    // only under --strict, whatever the report's form.
    TEST(CliCheck, WarningsFailOnlyWhenStrict)
    {
        TempDir t;
        t.write("odd.sld", SlideBytes::newForm(100, 100).word(0x8000).end().b);
        const struct {
            std::vector<std::string> args;
            int status;
        } rows[] = {
            { { "check", "odd.sld" }, 0 },
            { { "check", "--strict", "-q", "odd.sld" }, 1 },
            { { "check", "--strict", "--json", "odd.sld" }, 1 },
        };
        for (const auto& r : rows)
            EXPECT_EQ(qorvan(r.args, t.str()).status, r.status) << r.args[1];
    }

    TEST(CliCheck, SeveralOperandsInOrderWithOneSummary)
    {
        TempDir t;
        t.write("a.sld", good());
        t.write("odd.sld", SlideBytes::newForm(100, 100).word(0x8000).end().b);
        t.write("lib.slb", makeLibrary({ { "A", good() }, { "B", good() } }));
        RunResult r = qorvan({ "check", "a", "nosuch", "odd.sld", "lib", "lib(b)" }, t.str());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out,
            "a.SLD: ok\n"
            "nosuch: error: cannot be read: No such file or directory\n"
            "odd.sld: byte 31: warning: 1 record word of no known type, skipped (first here)\n"
            "lib.slb: ok\n"
            "lib(b): ok\n"
            "checked 5 files, 5 slides: 1 error, 1 warning\n");
        EXPECT_EQ(r.err, "");
        RunResult q = qorvan({ "check", "-q", "--strict", "a", "lib", "lib(b)" }, t.str());
        EXPECT_EQ(q.status, 0);
        EXPECT_EQ(q.out, "");
    }

    // Names are bytes without an encoding; the report stays one valid JSON
    // document whatever they hold, and gives each byte back.
    TEST(CliCheck, JsonHoldsAnyName)
    {
        if (!std::filesystem::exists(PYTHON)) GTEST_SKIP() << "no " << PYTHON;
        const std::vector<std::string> names
            = { "Q\"UOTE\\", std::string("\x1b]0;T\x07", 6), "\xff\xfe", "\xc3", "\xc3\xa9", "TAB\tNL\n" };
        std::vector<std::pair<std::string, std::string>> slides;
        for (const std::string& n : names)
            slides.push_back({ n, good() });
        TempDir t;
        t.write("odd names.slb", makeLibrary(slides));
        RunResult json = qorvan({ "check", "--json", "odd names.slb" }, t.str());
        EXPECT_EQ(json.status, 0) << json.out;
        const char* script = R"(
import json, sys
d = json.loads(sys.stdin.buffer.read().decode("utf-8"))
for s in d["files"][0]["slides"]:
    sys.stdout.buffer.write(s["name"].encode("latin-1").hex().encode() + b"\n")
)";
        RunResult read = run(PYTHON, { "-c", script }, "", json.out);
        ASSERT_EQ(read.status, 0) << read.err << json.out;
        std::string want;
        for (const std::string& n : names) {
            static const char* hex = "0123456789abcdef";
            for (unsigned char ch : n)
                want += std::string { hex[ch >> 4], hex[ch & 15] };
            want += "\n";
        }
        EXPECT_EQ(read.out, want);
    }

    // Slides made by other software: damage there would be a fault of
    // check, not of the slides, which their programs read.
    TEST(CliCheck, RealSlidesHaveNoDamage)
    {
        std::vector<std::string> args = { "check", "-q" };
        for (const char* ext : { ".sld", ".slb" })
            for (const auto& f : realFiles(ext))
                args.push_back(f.string());
        if (args.size() == 2) GTEST_SKIP() << "no real slides";
        TempDir t;
        RunResult r = qorvan(args, t.str());
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(r.out.find(": error: "), std::string::npos) << r.out;
        EXPECT_EQ(r.err, "");
    }

} // namespace
} // namespace qorvan::testing
