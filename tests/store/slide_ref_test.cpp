// What a slide reference names: its two forms, and the file names each set
// of rules makes of them.
#include "store/library_codec.h"
#include "store/slide_ref.h"

#include <gtest/gtest.h>

using namespace qorvan;

namespace {

TEST(SlideRefTest, ParsesBothForms)
{
    struct Case {
        const char* text;
        bool library;
        const char* path;
        const char* name;
    } cases[] = {
        { "plan", false, "plan", "" },
        { "plan.sld", false, "plan.sld", "" },
        { "C:\\SLIDES\\PARTS(BOLT)", true, "C:\\SLIDES\\PARTS", "BOLT" },
        { "lib(bolt).SLD", true, "lib", "bolt" }, // what follows ')' plays no part
        { "lib(bolt", true, "lib", "bolt" }, // no ')': the name runs to the end
        { "a(b)(c)", true, "a", "b" }, // the first '(' decides
        { "lib()", true, "lib", "" },
        { "(NAME)", true, "", "NAME" },
        { "plan (old).sld", true, "plan ", "old" }, // why the tool looks for the file first
        { "", false, "", "" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const SlideRef r = parseSlideRef(c.text);
        EXPECT_EQ(r.library, c.library);
        EXPECT_EQ(r.path, c.path);
        EXPECT_EQ(r.name, c.name);
    }
}

TEST(SlideRefTest, FormatReadsBack)
{
    for (auto [library, name] : { std::pair { "parts", "BOLT" }, { "dir/ü x", "CAFÉ" }, { "", "N" } }) {
        const std::string text = formatSlideRef(library, name);
        const SlideRef r = parseSlideRef(text);
        EXPECT_TRUE(r.library) << text;
        EXPECT_EQ(r.path, library);
        EXPECT_EQ(r.name, name);
    }
    EXPECT_EQ(formatSlideRef("a/b", "C"), "a/b(C)");
}

// The two rule sets differ on purpose: the store looks at the file's own
// name and takes ".slb" in any case; the viewer looks at the whole path.
TEST(SlideRefTest, FileNamesUnderEachRuleSet)
{
    struct Case {
        const char* path;
        const char* storeSlide;
        const char* viewerSlide; // "" when the viewer refuses it
    } cases[] = {
        { "part7", "part7.SLD", "PART7.SLD" },
        { "part7.sld", "part7.sld", "PART7.SLD" },
        { "part7.txt", "part7.txt", "" },
        { "C:\\MY.DIR\\PART7", "C:\\MY.DIR\\PART7.SLD", "" }, // the viewer counts the folder's '.'
        { "v1.2/box", "v1.2/box.SLD", "" },
        { "C:box", "C:box.SLD", "C:BOX.SLD" },
        { ".hidden", ".hidden", "" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(slideFileName(c.path), c.storeSlide);
        const ViewerSlideFile v = viewerSlideFile(c.path);
        EXPECT_EQ(v.usable, *c.viewerSlide != '\0');
        if (v.usable) {
            EXPECT_EQ(v.file, c.viewerSlide);
        }
    }
    EXPECT_EQ(libraryFileName("parts"), "parts.slb");
    EXPECT_EQ(libraryFileName("Parts.SLB"), "Parts.SLB");
    EXPECT_EQ(libraryFileName("old.slb.bak"), "old.slb.bak"); // ".slb" anywhere, as the store reads it
    EXPECT_EQ(viewerLibraryFile("parts"), "parts.SLB");
    EXPECT_EQ(viewerLibraryFile("parts.slb"), "parts.slb.SLB");
    EXPECT_EQ(viewerSlideExtension("lib(bolt)"), "lib(bolt).SLD");
    EXPECT_EQ(viewerSlideExtension("plan.sld"), "plan.sld");
}

TEST(SlideRefTest, LibraryStemCutsTheFilesExtensionOnly)
{
    EXPECT_EQ(libraryStem("work/PARTS.SLB"), "work/PARTS");
    EXPECT_EQ(libraryStem("v1.2\\parts"), "v1.2\\parts");
    EXPECT_EQ(libraryStem("a.b.slb"), "a.b");
    EXPECT_EQ(libraryStem("C:X.SLB"), "C:X");
}

TEST(SlideRefTest, NameMatchExactOrAnyCase)
{
    SlideName stored;
    std::memcpy(stored.bytes, "box", 3);
    EXPECT_FALSE(slideNameMatches(stored, "BOX", NameMatch::Exact));
    EXPECT_TRUE(slideNameMatches(stored, "box", NameMatch::Exact));
    EXPECT_TRUE(slideNameMatches(stored, "BOX", NameMatch::AnyCase));
    EXPECT_FALSE(slideNameMatches(stored, "BOXES", NameMatch::AnyCase));
    EXPECT_FALSE(slideNameMatches(stored, "BO", NameMatch::AnyCase));
}

} // namespace
