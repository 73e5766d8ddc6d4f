// Damaged libraries and slides the module cannot read: each says what is
// wrong and what to run, and nothing unreadable slips into a library.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "slide/byte_order.h"
#include "tests/cli/support.h"
#include "tests/slide/slide_builder.h"
#include "tests/support/tempdir.h"

namespace qorvan::testing {
namespace {

    namespace fs = std::filesystem;

    std::string slideOf(int width)
    {
        return SlideBytes::newForm(width, 100).vector(0, 0, width, 100).vector(1, 2, 3, 4).end().b;
    }

    std::string bigEndian(const std::string& s)
    {
        auto big = slide::transcodeSlide(reinterpret_cast<const std::uint8_t*>(s.data()), s.size(),
            slide::ByteOrder::Little, slide::ByteOrder::Big, true);
        return std::string(big.begin(), big.end());
    }

    // A library cut short inside its second slide: the third entry points
    // past the end, and the store refuses the whole directory.
    TEST(CliDamage, ACutLibrarySaysWhereAndWhatToRun)
    {
        TempDir t;
        const std::string slide = slideOf(50);
        const std::string whole = makeLibrary({ { "BOX", slide }, { "GEAR", slide }, { "PIN", slide } });
        const std::size_t first = 32 + 36 * 4;
        const std::size_t cut = first + slide.size() + 5;
        t.write("cut.slb", whole.substr(0, cut));
        const std::string pin = std::to_string(first + 2 * slide.size());
        for (const std::vector<std::string>& args : { std::vector<std::string> { "list", "cut" },
                 { "extract", "cut", "BOX", "-d", "out" }, { "delete", "cut", "BOX" } }) {
            SCOPED_TRACE(args[0]);
            RunResult r = qorvan(args, t.str());
            EXPECT_EQ(r.status, 1);
            for (const std::string& want : { std::string("Slide library invalid."),
                     "directory entry 3 (PIN) points at byte " + pin + ", past the end of the file ("
                         + std::to_string(cut) + " bytes): the file was cut short",
                     std::string("qorvan check cut"), std::string("qorvan salvage cut -o NEW.slb") })
                EXPECT_NE(r.err.find(want), std::string::npos) << want << "\n" << r.err;
        }
        EXPECT_EQ(readFile(t.path() / "cut.slb"), whole.substr(0, cut)) << "left as it was";

        // info names the damage and gives no negative sizes; the cut slide
        // is not called ok.
        RunResult info = qorvan({ "info", "cut.slb" }, t.str());
        EXPECT_EQ(info.status, 0) << info.err;
        EXPECT_NE(info.out.find("damaged: directory entry 3 (PIN)"), std::string::npos) << info.out;
        EXPECT_FALSE(std::regex_search(info.out, std::regex("size +-"))) << info.out;
        std::size_t gear = info.out.find("GEAR");
        ASSERT_NE(gear, std::string::npos) << info.out;
        const std::string gearLine = info.out.substr(gear, info.out.find('\n', gear) - gear);
        EXPECT_NE(gearLine.find("damaged: cut short"), std::string::npos) << gearLine;
        EXPECT_NE(info.out.find("damaged: its offset is past the end"), std::string::npos) << info.out;
        RunResult json = qorvan({ "info", "cut.slb", "--json" }, t.str());
        EXPECT_EQ(json.out.find("\"size\": -"), std::string::npos) << json.out;

        // A sound library says nothing of damage.
        t.write("whole.slb", whole);
        RunResult sound = qorvan({ "info", "whole.slb" }, t.str());
        EXPECT_EQ(sound.out.find("damaged"), std::string::npos) << sound.out;
    }

    TEST(CliDamage, ABigEndianSlideIsRefusedUnlessForced)
    {
        TempDir t;
        t.write("be.sld", bigEndian(slideOf(60)));
        t.write("le.sld", slideOf(60));
        RunResult r = qorvan({ "append", "lib", "be.sld" }, t.str());
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("be.sld: "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("high byte first"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("qorvan convert be.sld"), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(t.path() / "lib.slb"));

        RunResult forced = qorvan({ "append", "--force", "lib", "be.sld" }, t.str());
        EXPECT_EQ(forced.status, 0) << forced.err;
        RunResult list = qorvan({ "list", "lib" }, t.str());
        EXPECT_EQ(list.out, "BE\n");

        RunResult little = qorvan({ "append", "lib", "le.sld" }, t.str());
        EXPECT_EQ(little.status, 0) << little.err;
        EXPECT_EQ(little.err, "");
    }

    // Without --keep-going nothing changes, but every operand that failed
    // is named, in command-line order; with it, the same names.
    TEST(CliDamage, EveryFailingOperandIsNamedInOrder)
    {
        for (const bool keepGoing : { false, true }) {
            SCOPED_TRACE(keepGoing ? "--keep-going" : "all or nothing");
            TempDir t;
            const std::string lib = makeLibrary({ { "BOX", slideOf(10) }, { "GEAR", slideOf(20) } });
            t.write("lib.slb", lib);
            t.write("new.sld", slideOf(30));
            t.write("box.sld", slideOf(40));
            auto with = [&](std::vector<std::string> args) {
                if (keepGoing) args.insert(args.begin() + 1, "--keep-going");
                return qorvan(args, t.str());
            };
            RunResult d = with({ "delete", "lib", "NOSUCH1", "BOX", "NOSUCH2" });
            EXPECT_EQ(d.status, 1);
            const std::size_t one = d.err.find("NOSUCH1"), two = d.err.find("NOSUCH2");
            ASSERT_NE(one, std::string::npos) << d.err;
            ASSERT_NE(two, std::string::npos) << d.err;
            EXPECT_LT(one, two) << d.err;
            if (!keepGoing) {
                EXPECT_EQ(readFile(t.path() / "lib.slb"), lib);
            }

            t.write("lib.slb", lib);
            RunResult a = with({ "append", "lib", "missing1.sld", "new.sld", "box.sld", "missing2.sld" });
            EXPECT_EQ(a.status, 1);
            const std::size_t m1 = a.err.find("missing1"), dup = a.err.find("BOX"),
                              m2 = a.err.find("missing2");
            ASSERT_NE(m1, std::string::npos) << a.err;
            ASSERT_NE(dup, std::string::npos) << a.err;
            ASSERT_NE(m2, std::string::npos) << a.err;
            EXPECT_LT(m1, dup) << a.err;
            EXPECT_LT(dup, m2) << a.err;
            RunResult list = qorvan({ "list", "lib" }, t.str());
            EXPECT_EQ(list.out, keepGoing ? "BOX\nGEAR\nNEW\n" : "BOX\nGEAR\n");
        }
    }

} // namespace
} // namespace qorvan::testing
