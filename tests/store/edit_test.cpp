// The editing operations on the ordinary paths: byte-level results and the
// statuses they leave.
#include "platform/io.h"
#include "store/edit.h"
#include "store/extract_p.h"
#include "store_fixture.h"

#include <functional>

using namespace qorvan;
using namespace qorvan::testing;

namespace {

class EditTest : public StoreTest { };

TEST_F(EditTest, CreateWritesTheEmptyLibrary)
{
    ASSERT_EQ(createLibrary("parts"), Ok);
    std::string lib = read("parts.slb");
    ASSERT_EQ(lib.size(), 68u);
    EXPECT_EQ(lib.substr(0, 28), std::string(LIBRARY_MAGIC, 28));
    EXPECT_EQ(lib.substr(28), std::string(40, '\0'));
}

TEST_F(EditTest, AppendCreatesAMissingLibrary)
{
    const std::string box = slideBytes("box", 500);
    write("box.SLD", box);
    ASSERT_EQ(appendSlide("parts", "box"), Ok);
    // The reader's code 1 stays recorded though the append succeeded.
    EXPECT_EQ(lastStatus(), CannotOpen);
    EXPECT_STREQ(statusMessage(), "\"parts.slb\": Can't open file");
    std::string lib = read("parts.slb");
    EXPECT_EQ(lib.size(), 104u + box.size());
    auto slides = parseLibrary(lib);
    ASSERT_EQ(slides.size(), 1u);
    EXPECT_EQ(slides[0].name, "BOX");
    EXPECT_EQ(slides[0].bytes, box);
    EXPECT_EQ(files(), (std::vector<std::string> { "box.SLD", "parts.slb" }));
}

TEST_F(EditTest, AppendToAnEmptyLibraryLeavesCode7)
{
    write("parts.slb", makeLibrary({}));
    write("s/gear.sld", "gear");
    ASSERT_EQ(appendSlide("parts", "s/gear.sld"), Ok);
    EXPECT_EQ(lastStatus(), EmptyLibrary);
    EXPECT_EQ(namesIn(parseLibrary(read("parts.slb"))), std::vector<std::string> { "GEAR" });
}

TEST_F(EditTest, AppendMovesOffsetsByOneEntry)
{
    const std::string box = slideBytes("b", 500), gear = slideBytes("g", 321);
    write("parts.slb", makeLibrary({ { "BOX", box } }));
    write("s/gear.sld", gear);
    ASSERT_EQ(appendSlide("parts", "s\\gear.sld"), Ok);
    std::string lib = read("parts.slb");
    EXPECT_EQ(getLe32(lib, 32 + 32), 140);
    EXPECT_EQ(getLe32(lib, 68 + 32), 640);
    EXPECT_EQ(lib.size(), 640u + gear.size());
    auto slides = parseLibrary(lib);
    ASSERT_EQ(slides.size(), 2u);
    EXPECT_EQ(slides[0].bytes, box);
    EXPECT_EQ(slides[1].bytes, gear);
    EXPECT_EQ(lastStatus(), Ok);
}

TEST_F(EditTest, SlideNamesFromPaths)
{
    struct Case {
        const char* file; // created on disk
        const char* arg; // as the caller writes it
        const char* name;
    } cases[] = {
        { "box.SLD", "box", "BOX" },
        { "slides/box.sld", "slides\\box.sld", "BOX" },
        { "S/Box.Sld", "S/Box.Sld", "BOX" },
        { "gear.v2.sld", "gear.v2.sld", "GEAR.V2" },
        { "a234567890123456789012345678901234567890.sld", "a234567890123456789012345678901234567890.sld",
            "A234567890123456789012345678901" },
    };
    std::vector<std::string> expect;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arg);
        write(c.file, c.name);
        if (expect.empty() || expect.back() != c.name) {
            ASSERT_EQ(appendSlide("lib", c.arg), Ok);
            expect.push_back(c.name);
        } else {
            EXPECT_EQ(appendSlide("lib", c.arg), SlideExists);
        }
    }
    EXPECT_EQ(namesIn(parseLibrary(read("lib.slb"))), expect);
}

TEST_F(EditTest, LongNamesAreCutThenCheckedForDuplicates)
{
    write("abcdefghijabcdefghijabcdefghijabcX.sld", "1");
    write("abcdefghijabcdefghijabcdefghijabcY.sld", "2");
    ASSERT_EQ(appendSlide("lib", "abcdefghijabcdefghijabcdefghijabcX.sld"), Ok);
    EXPECT_EQ(appendSlide("lib", "abcdefghijabcdefghijabcdefghijabcY.sld"), SlideExists);
    EXPECT_STREQ(statusMessage(), "Slide ABCDEFGHIJABCDEFGHIJABCDEFGHIJA already exists in library lib.");
}

TEST_F(EditTest, DuplicateLeavesTheLibraryAlone)
{
    const std::string before = makeLibrary({ { "BOX", "old" } });
    write("parts.slb", before);
    write("box.sld", "new");
    EXPECT_EQ(appendSlide("parts", "box.sld"), SlideExists);
    EXPECT_STREQ(statusMessage(), "Slide BOX already exists in library parts.");
    EXPECT_EQ(read("parts.slb"), before);
    EXPECT_EQ(files(), (std::vector<std::string> { "box.sld", "parts.slb" }));
}

TEST_F(EditTest, AppendRefusals)
{
    const std::string before = makeLibrary({ { "BOX", "old" } });
    write("parts.slb", before);
    write("notlib.slb", "just text, not a library at all");
    write(".sld", "nameless");
    struct Case {
        const char* library;
        const char* slide;
        int code;
        const char* message;
    } cases[] = {
        { "parts", "missing", CannotOpen, "\"missing.SLD\": Can't open file" },
        { "parts", "dir/", InvalidSlide, "Error reading slide file. *Invalid*" },
        { "parts", ".sld", InvalidSlide, "Error reading slide file. *Invalid*" },
        { "notlib", ".sld", InvalidLibrary, "Slide library invalid." },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.slide);
        EXPECT_EQ(appendSlide(c.library, c.slide), c.code);
        EXPECT_STREQ(statusMessage(), c.message);
    }
    EXPECT_EQ(read("parts.slb"), before);
    EXPECT_EQ(read("notlib.slb"), "just text, not a library at all");
    EXPECT_EQ(files(), (std::vector<std::string> { ".sld", "notlib.slb", "parts.slb" }));
}

TEST_F(EditTest, DeleteTheMiddleSlide)
{
    const std::string box(100, 'b'), gear(200, 'g'), pin(300, 'p');
    const std::string before = makeLibrary({ { "BOX", box }, { "GEAR", gear }, { "PIN", pin } });
    ASSERT_EQ(getLe32(before, 32 + 32), 176);
    write("parts.slb", before);
    ASSERT_EQ(deleteSlide("parts", "gear"), Ok);
    std::string lib = read("parts.slb");
    EXPECT_EQ(lib.size(), before.size() - 236);
    EXPECT_EQ(getLe32(lib, 32 + 32), 140);
    EXPECT_EQ(getLe32(lib, 68 + 32), 240);
    auto slides = parseLibrary(lib);
    ASSERT_EQ(slides.size(), 2u);
    EXPECT_EQ(slides[0].bytes, box);
    EXPECT_EQ(slides[1].bytes, pin);
}

TEST_F(EditTest, DeleteTheOnlySlideAndMissingNames)
{
    write("one.slb", makeLibrary({ { "BOX", "bytes" } }));
    EXPECT_EQ(deleteSlide("one", "PIN"), SlideNotFound);
    EXPECT_STREQ(statusMessage(), "Slide PIN not found in library one.");
    EXPECT_EQ(read("one.slb"), makeLibrary({ { "BOX", "bytes" } }));
    ASSERT_EQ(deleteSlide("one", "box"), Ok);
    EXPECT_EQ(read("one.slb"), makeLibrary({}));
    EXPECT_EQ(deleteSlide("one", "box"), EmptyLibrary);

    std::filesystem::create_directories("lib");
    write("lib/parts.slb", makeLibrary({ { "GEAR", "1" }, { "PIN", "2" } }));
    EXPECT_EQ(deleteSlide("lib\\parts", "BOX"), SlideNotFound);
    EXPECT_STREQ(statusMessage(), "Slide BOX not found in library lib\\parts.");
    EXPECT_EQ(files(), (std::vector<std::string> { "lib", "lib/parts.slb", "one.slb" }));
}

TEST_F(EditTest, ExtractToTargetDirectories)
{
    const std::string box = slideBytes("box", 777);
    write("parts.slb", makeLibrary({ { "BOX", box }, { "PIN", "pin" } }));
    std::filesystem::create_directories("out");
    for (const char* dir : { "out", "out\\", "OUT" }) {
        SCOPED_TRACE(dir);
        std::filesystem::remove("out/BOX.SLD");
        ASSERT_EQ(extractSlide("parts", "box", dir), Ok);
        EXPECT_EQ(read("out/BOX.SLD"), box);
    }
    EXPECT_EQ(extractSlide("parts", "nut", "out"), SlideNotFound);
    EXPECT_STREQ(statusMessage(), "Slide nut not found in library parts.");
    EXPECT_EQ(extractSlide("parts", "pin", "nosuch"), CannotOpen);
    EXPECT_STREQ(statusMessage(), "\"nosuch\\PIN.SLD\": Can't open file");
    EXPECT_EQ(files(), (std::vector<std::string> { "out", "out/BOX.SLD", "parts.slb" }));
}

// extractEntry never holds more than COPY_CHUNK bytes of a slide: each piece
// is one read of the library.
TEST_F(EditTest, ExtractCopiesInPiecesOfCopyChunk)
{
    struct Case {
        std::size_t size;
        unsigned pieces;
    } cases[] = { { 0, 0 }, { 1, 1 }, { 61439, 1 }, { 61440, 2 }, { 122878, 2 }, { 122879, 3 } };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        const std::string bytes = slideBytes("chunk", c.size);
        write("parts.slb", makeLibrary({ { "BIG", bytes } }));
        auto entries = readDirectory("parts");
        platform::faults::resetCounts();
        ASSERT_EQ(extractEntry(".", "parts", "big", entries), Ok);
        EXPECT_EQ(platform::faults::calls(platform::IoOp::Read), c.pieces);
        EXPECT_EQ(read("BIG.SLD"), bytes);
    }
}

TEST_F(EditTest, ExtractOverwritesAnExistingFile)
{
    write("parts.slb", makeLibrary({ { "BOX", "new bytes" } }));
    write("BOX.SLD", "an older, longer file that must be replaced whole");
    ASSERT_EQ(extractSlide("parts", "BOX", "."), Ok);
    EXPECT_EQ(read("BOX.SLD"), "new bytes");
}

TEST_F(EditTest, ExplodeWritesEverySlideAndStopsAtTheFirstFailure)
{
    const std::vector<Slide> slides = { { "BOX", "b" }, { "GEAR", slideBytes("g", 70000) }, { "PIN", "" } };
    write("parts.slb", makeLibrary(slides));
    std::filesystem::create_directories("out");
    ASSERT_EQ(explodeLibrary("parts", "out"), Ok);
    for (const Slide& s : slides)
        EXPECT_EQ(read("out/" + s.name + ".SLD"), s.bytes) << s.name;
    EXPECT_EQ(explodeLibrary("parts", "missing"), CannotOpen);
    EXPECT_STREQ(statusMessage(), "\"missing\\BOX.SLD\": Can't open file");
    EXPECT_FALSE(exists("missing"));
}

TEST_F(EditTest, RemoveExtractsThenDeletes)
{
    write("parts.slb", makeLibrary({ { "BOX", "box" }, { "PIN", "pin" } }));
    EXPECT_EQ(removeSlide("parts", "nut", "."), SlideNotFound);
    EXPECT_EQ(files(), (std::vector<std::string> { "parts.slb" }));
    ASSERT_EQ(removeSlide("parts", "box", "."), Ok);
    EXPECT_EQ(read("BOX.SLD"), "box");
    EXPECT_EQ(namesIn(parseLibrary(read("parts.slb"))), std::vector<std::string> { "PIN" });
}

TEST_F(EditTest, ReplacePutsTheSlideLast)
{
    write("parts.slb", makeLibrary({ { "BOX", "old" }, { "PIN", "pin" } }));
    write("box.sld", "new box");
    ASSERT_EQ(replaceSlide("parts", "box.sld"), Ok);
    auto slides = parseLibrary(read("parts.slb"));
    EXPECT_EQ(namesIn(slides), (std::vector<std::string> { "PIN", "BOX" }));
    EXPECT_EQ(slides[1].bytes, "new box");

    write("gear.sld", "gear");
    setStatus(Ok, nullptr, nullptr);
    ASSERT_EQ(replaceSlide("parts", "gear"), Ok);
    EXPECT_EQ(lastStatus(), SlideNotFound);
    EXPECT_STREQ(statusMessage(), "Slide gear not found in library parts.");
    EXPECT_EQ(namesIn(parseLibrary(read("parts.slb"))), (std::vector<std::string> { "PIN", "BOX", "GEAR" }));
}

TEST_F(EditTest, ReplaceWithAnUnreadableSlideChangesNothing)
{
    const std::string before = makeLibrary({ { "BOX", "old" } });
    write("parts.slb", before);
    EXPECT_EQ(replaceSlide("parts", "box"), CannotOpen);
    EXPECT_STREQ(statusMessage(), "\"box.SLD\": Can't open file");
    EXPECT_EQ(read("parts.slb"), before);
}

TEST_F(EditTest, RenameKeepsThePlaceAndTheBytes)
{
    write("parts.slb", makeLibrary({ { "BOX", "box" }, { "PIN", "pin" } }));
    ASSERT_EQ(renameSlide("parts", "box", "crate"), Ok);
    auto slides = parseLibrary(read("parts.slb"));
    EXPECT_EQ(namesIn(slides), (std::vector<std::string> { "CRATE", "PIN" }));
    EXPECT_EQ(slides[0].bytes, "box");
    EXPECT_EQ(renameSlide("parts", "crate", "Crate"), Ok);

    struct Case {
        const char* from;
        const char* to;
        int code;
        const char* message;
    } cases[] = {
        { "nut", "bolt", SlideNotFound, "Slide nut not found in library parts." },
        { "crate", "pin", SlideExists, "Slide PIN already exists in library parts." },
        { "crate", "", InvalidSlide, "Error reading slide file. *Invalid*" },
        { "crate", "..", InvalidSlide, "Error reading slide file. *Invalid*" },
        { "crate", "a/b", InvalidSlide, "Error reading slide file. *Invalid*" },
    };
    const std::string before = read("parts.slb");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.to);
        EXPECT_EQ(renameSlide("parts", c.from, c.to), c.code);
        EXPECT_STREQ(statusMessage(), c.message);
    }
    EXPECT_EQ(read("parts.slb"), before);
    ASSERT_EQ(renameSlide("parts", "pin", "abcdefghijabcdefghijabcdefghijabcdef"), Ok);
    EXPECT_EQ(namesIn(parseLibrary(read("parts.slb")))[1], "ABCDEFGHIJABCDEFGHIJABCDEFGHIJA");
}

// A null text is taken as an empty one: the same code and message, and
// the same files, whichever the caller passes.
TEST_F(EditTest, NullTextsAreTakenAsEmpty)
{
    const std::string lib = makeLibrary({ { "BOX", "box" } });
    struct Case {
        const char* what;
        std::function<StatusCode(const char* text)> call;
    } cases[] = {
        { "create", [](const char* t) { return createLibrary(t); } },
        { "append library", [](const char* t) { return appendSlide(t, "box"); } },
        { "append slide", [](const char* t) { return appendSlide("parts", t); } },
        { "delete", [](const char* t) { return deleteSlide("parts", t); } },
        { "extract name", [](const char* t) { return extractSlide("parts", t, "."); } },
        { "extract folder", [](const char* t) { return extractSlide("parts", "box", t); } },
        { "explode", [](const char* t) { return explodeLibrary("parts", t); } },
        { "remove", [](const char* t) { return removeSlide("parts", t, "."); } },
        { "replace", [](const char* t) { return replaceSlide("parts", t); } },
        { "rename from", [](const char* t) { return renameSlide("parts", t, "NUT"); } },
        { "rename to", [](const char* t) { return renameSlide("parts", "box", t); } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> outcome[2];
        for (int pass = 0; pass < 2; ++pass) {
            for (const std::string& f : files())
                std::filesystem::remove_all(f);
            write("parts.slb", lib);
            write("box.SLD", "new");
            setStatus(Ok, nullptr, nullptr);
            StatusCode code = c.call(pass == 0 ? nullptr : "");
            outcome[pass] = { std::to_string(code), statusMessage(), read("parts.slb") };
            for (const std::string& f : files())
                outcome[pass].push_back(f);
        }
        EXPECT_EQ(outcome[0], outcome[1]);
    }
}

} // namespace
