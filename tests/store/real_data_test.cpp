// Libraries and slides made by other software, read where they lie.
#include "store/edit.h"
#include "store_fixture.h"
#include "tests/support/testdata.h"

#include <map>

using namespace qorvan;
using namespace qorvan::testing;
namespace fs = std::filesystem;

namespace {

const fs::path REAL = testdataDir() / "real";
const fs::path LINES_DIR = REAL / "mnasoft-MNAS_acad_utils" / "acad_w.sup";

class RealDataTest : public StoreTest {
protected:
    void SetUp() override
    {
        if (!fs::exists(LINES_DIR / "LINES.slb")) GTEST_SKIP() << "no real test data at " << REAL;
        StoreTest::SetUp();
    }
};

TEST_F(RealDataTest, EveryLibraryLists)
{
    int libraries = 0;
    for (const auto& e : fs::recursive_directory_iterator(REAL)) {
        if (e.path().extension() != ".slb") continue;
        SCOPED_TRACE(e.path().string());
        ++libraries;
        setStatus(Ok, nullptr, nullptr);
        auto entries = readDirectory(e.path().c_str());
        ASSERT_FALSE(entries.empty()) << statusMessage();
        std::int64_t total = 0;
        for (const LibraryEntry& entry : entries) {
            EXPECT_GT(entry.size, 0) << nameOf(entry.name);
            total += entry.size;
        }
        EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(e.path())), entries[0].offset + total);
        EXPECT_EQ(listSlides(e.path().c_str()).size(), entries.size());
    }
    EXPECT_GE(libraries, 3);
}

TEST_F(RealDataTest, ExplodeLinesMatchesTheLooseSlides)
{
    fs::create_directories("out");
    ASSERT_EQ(explodeLibrary((LINES_DIR / "LINES").c_str(), "out"), Ok) << statusMessage();
    std::vector<std::string> written;
    for (const auto& e : fs::directory_iterator("out"))
        written.push_back(e.path().filename().string());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written,
        (std::vector<std::string> { "D_CHAMF.SLD", "D_OFF.SLD", "D_OTV.SLD", "D_REZ.SLD", "R_OFF.SLD" }));
    for (const std::string& f : written) {
        std::string loose = f.substr(0, f.size() - 4) + ".sld";
        EXPECT_EQ(read("out/" + f), readFile(LINES_DIR / "lines" / loose)) << f;
    }
}

TEST_F(RealDataTest, AppendingTheLooseSlidesRebuildsLines)
{
    for (const char* name : { "D_REZ", "D_CHAMF", "D_OTV", "D_OFF", "R_OFF" }) {
        ASSERT_EQ(appendSlide("lines", (LINES_DIR / "lines" / name).c_str()), Ok) << statusMessage();
    }
    EXPECT_EQ(read("lines.slb"), readFile(LINES_DIR / "LINES.slb"));
}

TEST_F(RealDataTest, ARealLibraryEditedAndRestored)
{
    fs::copy_file(LINES_DIR / "LINES.slb", "copy.slb");
    const std::string original = read("copy.slb");
    ASSERT_EQ(removeSlide("COPY", "d_otv", "."), Ok) << statusMessage();
    EXPECT_EQ(listSlides("copy").size(), 4u);
    ASSERT_EQ(renameSlide("copy", "R_OFF", "D_OTV2"), Ok);
    ASSERT_EQ(renameSlide("copy", "d_otv2", "R_OFF"), Ok);
    ASSERT_EQ(appendSlide("copy", "D_OTV.SLD"), Ok);
    // D_OTV now comes last; its bytes are the ones that were extracted.
    auto slides = parseLibrary(read("copy.slb"));
    ASSERT_EQ(slides.size(), 5u);
    EXPECT_EQ(slides.back().name, "D_OTV");
    EXPECT_EQ(slides.back().bytes, readFile(LINES_DIR / "lines" / "D_OTV.sld"));
    EXPECT_EQ(read("copy.slb").size(), original.size());
}

} // namespace
