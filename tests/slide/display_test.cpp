#include <gtest/gtest.h>

#include "platform/path.h"
#include "slide/display.h"
#include "slide/offscreen_window.h"
#include "store/library.h"
#include "store/status.h"
#include "tests/slide/slide_builder.h"
#include "tests/support/tempdir.h"

namespace qorvan::slide {
namespace {

    using testing::SlideBytes;

    const std::string DOT = SlideBytes::newForm(9, 9).vector(4, 4, 4, 4).b;

    std::string library(
        const std::vector<std::pair<std::string, std::string>>& slides, bool terminated = true)
    {
        std::string out(LIBRARY_MAGIC, LIBRARY_MAGIC_LENGTH);
        out.resize(LIBRARY_HEADER_SIZE, '\0');
        std::size_t offset
            = LIBRARY_HEADER_SIZE + DIRECTORY_ENTRY_SIZE * (slides.size() + (terminated ? 1 : 0));
        std::string data;
        for (auto& [name, bytes] : slides) {
            std::string e = name;
            e.resize(SLIDE_NAME_SIZE, '\0');
            auto o = static_cast<std::uint32_t>(offset + data.size());
            for (int i = 0; i < 4; ++i)
                e.push_back(static_cast<char>((o >> (8 * i)) & 0xFF));
            out += e;
            data += bytes;
        }
        if (terminated) out += std::string(DIRECTORY_ENTRY_SIZE, '\0');
        return out + data;
    }

    class Display : public ::testing::Test {
    protected:
        void SetUp() override
        {
            dir.write("PART7.SLD", DOT);
            dir.write("MY.DIR/PART7.SLD", DOT);
            dir.write("LIB.SLB",
                library({ { "BOLT", DOT }, { "nut", DOT },
                    { "BAD", SlideBytes::newForm(9, 9, 1).vector(1, 1, 1, 1).b } }));
            dir.write("EMPTY.SLB", library({}));
            dir.write("OPEN.SLB", library({ { "BOLT", DOT } }, false));
            dir.write("NOTLIB.SLB", std::string(64, 'x'));
        }
        int show(const std::string& ref)
        {
            window = std::make_unique<OffscreenWindow>(10, 10);
            return showSlide(window.get(), (dir.str() + "/" + ref).c_str());
        }
        int drawn() const { return testing::countPixels(window->surface()); }

        qorvan::testing::TempDir dir;
        std::unique_ptr<OffscreenWindow> window;
    };

    TEST_F(Display, References)
    {
        struct Case {
            const char* ref;
            int want;
            bool draws;
        } cases[] = {
            { "part7", Ok, true },
            { "part7.sld", Ok, true },
            { "PART7.SLD", Ok, true },
            { "part7.txt", InvalidSlide, false },
            { "MY.DIR/PART7", InvalidSlide, false },
            { "MY.DIR/PART7.SLD", Ok, true },
            { "missing", CannotOpen, false },
            { "lib(bolt)", Ok, true },
            { "lib(bolt).SLD", Ok, true },
            { "LIB(BOLT", Ok, true },
            { "lib(nut)", SlideNotFound, false },
            { "lib(bad)", DisplayMismatch, true },
            { "lib(none)", SlideNotFound, false },
            { "empty(bolt)", SlideNotFound, false },
            { "open(bolt)", Ok, true },
            { "open(nut)", SlideNotFound, false },
            { "notlib(bolt)", InvalidLibrary, false },
            { "nolib(bolt)", CannotOpen, false },
        };
        for (const Case& c : cases) {
            setStatus(Ok, nullptr, nullptr);
            EXPECT_EQ(show(c.ref), c.want) << c.ref;
            EXPECT_EQ(lastStatus(), c.want) << c.ref;
            EXPECT_EQ(drawn() > 0, c.draws) << c.ref;
            EXPECT_EQ(window->surfacesOut(), 0) << c.ref << ": the surface is released";
        }
    }

    // The tool's dialogs read a reference as every qorvan command does; the
    // module's keep their rules. One table, both rule sets.
    TEST_F(Display, ToolRulesBesideTheViewers)
    {
        dir.write("drawing(1).sld", DOT);
        dir.write("plan (old).sld", DOT);
        struct Case {
            const char* ref;
            int viewer, tool;
        } cases[] = {
            { "drawing(1).sld", CannotOpen, Ok }, // "drawing.SLB" for the viewer
            { "plan (old).sld", CannotOpen, Ok },
            { "lib(nut)", SlideNotFound, Ok }, // stored in lower case
            { "lib.slb(bolt)", CannotOpen, Ok }, // the viewer adds .SLB to any library path
            { "part7", Ok, Ok },
            { "lib(bolt)", Ok, Ok },
            { "lib(none)", SlideNotFound, SlideNotFound },
            { "missing", CannotOpen, CannotOpen },
            { "notlib(bolt)", InvalidLibrary, InvalidLibrary },
        };
        for (const Case& c : cases) {
            for (const RefRules rules : { RefRules::Viewer, RefRules::Tool }) {
                const int want = rules == RefRules::Viewer ? c.viewer : c.tool;
                window = std::make_unique<OffscreenWindow>(10, 10);
                EXPECT_EQ(showSlide(window.get(), (dir.str() + "/" + c.ref).c_str(), rules), want) << c.ref;
                EXPECT_EQ(drawn() > 0, want == Ok) << c.ref;
                EXPECT_EQ(window->surfacesOut(), 0) << c.ref;
            }
        }
    }

    TEST_F(Display, Messages)
    {
        show("lib(bolt)");
        show("lib(none)");
        EXPECT_EQ(std::string(statusMessage()), "Slide NONE not found in library " + dir.str() + "/lib.SLB.");
        show("missing");
        EXPECT_EQ(std::string(statusMessage()),
            "\"" + platform::toUpperAscii(dir.str() + "/missing") + ".SLD\": Can't open file");
    }

    TEST_F(Display, NoWindowAndLongReferences)
    {
        EXPECT_EQ(showSlide(nullptr, "anything"), Ok);
        std::string longFile(FILE_REF_MAX + 1, 'a');
        window = std::make_unique<OffscreenWindow>(10, 10);
        EXPECT_EQ(showSlide(window.get(), longFile.c_str()), CannotOpen) << "refused, not cut";
        std::string longLib = dir.str() + "/lib(" + std::string(LIBRARY_REF_MAX, 'B') + ")";
        EXPECT_EQ(showSlide(window.get(), longLib.c_str()), CannotOpen);
        EXPECT_EQ(drawn(), 0);
    }

    TEST_F(Display, FilesAreClosed)
    {
        platform::faults::resetCounts();
        for (const char* ref : { "part7", "lib(bolt)", "lib(none)", "notlib(x)" })
            show(ref);
        EXPECT_EQ(
            platform::faults::calls(platform::IoOp::Open), platform::faults::calls(platform::IoOp::Close));
    }

    TEST_F(Display, ClippedToTheClientArea)
    {
        window = std::make_unique<OffscreenWindow>(10, 10, rgb(1, 2, 3));
        EXPECT_EQ(showSlide(window.get(), (dir.str() + "/part7").c_str()), Ok);
        EXPECT_EQ(window->surface().pixel(0, 0), rgb(1, 2, 3)) << "the window's own background first";
        EXPECT_EQ(window->surface().pixel(4, 5), rgb(255, 255, 255));
    }

} // namespace
} // namespace qorvan::slide
