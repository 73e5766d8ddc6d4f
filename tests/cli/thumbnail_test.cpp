// qorvan thumbnail, the command the desktop's thumbnailer runs: the size it
// promises, a library's first slides in a grid, and clear failures.
#include <gtest/gtest.h>

#include "support.h"
#include "tests/support/tempdir.h"

namespace qorvan::testing {
namespace {

    const std::string SAMPLES = std::string(QORVAN_SOURCE_DIR) + "/samples/";

    bool opaqueIn(const Image& img, unsigned x0, unsigned y0, unsigned x1, unsigned y1)
    {
        for (unsigned y = y0; y < y1; ++y)
            for (unsigned x = x0; x < x1; ++x)
                if ((img.rgba[y * img.width + x] >> 24) == 0xff) return true;
        return false;
    }

    TEST(CliThumbnail, ASlideKeepsItsProportionsWithinTheSize)
    {
        TempDir t;
        for (const char* name : { "box.sld", "gear.sld", "house.sld" }) {
            RunResult own = qorvan({ "render", SAMPLES + name, "-o", t.str("own.png") }, t.str());
            ASSERT_EQ(own.status, 0) << own.err;
            Image full = readPng(t.str("own.png"));
            for (int size : { 32, 128, 256 }) {
                RunResult r = qorvan(
                    { "thumbnail", "--size", std::to_string(size), SAMPLES + name, t.str("t.png") }, t.str());
                ASSERT_EQ(r.status, 0) << r.err;
                Image img = readPng(t.str("t.png"));
                EXPECT_EQ(std::max(img.width, img.height), static_cast<unsigned>(size)) << name;
                const double want = static_cast<double>(full.width) / full.height;
                const double got = static_cast<double>(img.width) / img.height;
                EXPECT_NEAR(got, want, want * 2.0 / size + 0.01) << name << " at " << size;
            }
        }
    }

    TEST(CliThumbnail, ALibraryShowsItsFirstSlidesInAGrid)
    {
        TempDir t;
        RunResult r
            = qorvan({ "thumbnail", "-s", "200", SAMPLES + "samples.slb", t.str("lib.png") }, t.str());
        ASSERT_EQ(r.status, 0) << r.err;
        Image img = readPng(t.str("lib.png"));
        ASSERT_EQ(img.width, 200u);
        ASSERT_EQ(img.height, 200u);
        // Four slides in two rows of two, with a see-through gap between them.
        EXPECT_TRUE(opaqueIn(img, 0, 0, 99, 99));
        EXPECT_TRUE(opaqueIn(img, 101, 0, 200, 99));
        EXPECT_TRUE(opaqueIn(img, 0, 101, 99, 200));
        EXPECT_TRUE(opaqueIn(img, 101, 101, 200, 200));
        EXPECT_FALSE(opaqueIn(img, 99, 0, 101, 200)) << "the gap between columns";

        // One slide alone takes the whole square's width.
        t.write("one.slb", makeLibrary({ { "BOX", readFile(SAMPLES + "box.sld") } }));
        r = qorvan({ "thumbnail", "-s", "64", "one.slb", "one.png" }, t.str());
        ASSERT_EQ(r.status, 0) << r.err;
        Image one = readPng(t.str("one.png"));
        EXPECT_TRUE(opaqueIn(one, 0, 20, 4, 44)) << "the slide reaches the left edge";
    }

    TEST(CliThumbnail, FailuresNameTheFile)
    {
        TempDir t;
        t.write("empty.slb", makeLibrary({}));
        t.write("junk.sld", "not a slide at all, just some text");
        {
            // A slide's position past the end: list refuses it, so must
            // thumbnail, rather than draw an empty sheet.
            std::string bad = makeLibrary({ { "BOX", std::string(40, 'x') } });
            bad[32 + 35] = '\x7f';
            t.write("bad.slb", bad);
        }
        struct {
            std::vector<std::string> args;
            int status;
            const char* says;
        } cases[] = {
            { { "thumbnail", "empty.slb", "e.png" }, 1, "empty.slb" },
            { { "thumbnail", "bad.slb", "b.png" }, 1, "Slide library invalid." },
            { { "thumbnail", "nosuch.sld", "n.png" }, 1, "nosuch.sld: cannot open it: No such file" },
            { { "thumbnail", "junk.sld", "j.png" }, 1, "junk.sld" },
            { { "thumbnail", SAMPLES + "box.sld", "nodir/x.png" }, 1, "nodir/x.png" },
            { { "thumbnail", "-s", "0", SAMPLES + "box.sld", "x.png" }, 2, "--size" },
            { { "thumbnail", SAMPLES + "box.sld" }, 2, "OUTPUT" },
        };
        for (const auto& c : cases) {
            RunResult r = qorvan(c.args, t.str());
            EXPECT_EQ(r.status, c.status) << c.args[1] << ": " << r.err;
            EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        }
        for (const char* out : { "e.png", "b.png", "n.png", "j.png", "x.png" })
            EXPECT_FALSE(std::filesystem::exists(t.path() / out)) << out;
    }

} // namespace
} // namespace qorvan::testing
