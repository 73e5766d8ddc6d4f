// Hostile inputs through the programs users run, each with what it may cost:
// the exit status and message, and the peak memory and time of the process
// as /usr/bin/time reports them.
#include "tests/e2e/run.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace qorvan::testing;

const std::string QORVAN = binary("qorvan");
const std::string CONSOLE = binary("qorvan-console");

// Sanitizer builds carry shadow memory and run several times slower; the
// bounds are about orders of magnitude, so they scale rather than vanish.
#if defined(__SANITIZE_ADDRESS__)
constexpr long MEMORY_SCALE = 6;
constexpr double TIME_SCALE = 4;
#else
constexpr long MEMORY_SCALE = 1;
constexpr double TIME_SCALE = 1;
#endif

struct Measured {
    RunResult r;
    long peakKiB = -1;
    double seconds = -1;
};

// Runs program under /usr/bin/time (with extra environment settings first).
Measured measured(const TempDir& dir, const std::string& program, const std::vector<std::string>& args,
    const std::vector<std::string>& env = {})
{
    const std::string report = dir.str("time.out");
    std::vector<std::string> all = env;
    all.insert(all.end(), { "/usr/bin/time", "-f", "%M %e", "-o", report, program });
    all.insert(all.end(), args.begin(), args.end());
    Measured m;
    m.r = run("/usr/bin/env", all, dir.str());
    std::FILE* f = std::fopen(report.c_str(), "r");
    if (f) {
        // A non-zero exit puts a "Command exited" line first.
        char line[256];
        while (std::fgets(line, sizeof line, f))
            if (std::sscanf(line, "%ld %lf", &m.peakKiB, &m.seconds) == 2) break;
        std::fclose(f);
    }
    return m;
}

bool haveTime()
{
    return std::filesystem::exists("/usr/bin/time");
}

// Little-endian slide and library bytes, written here so that the inputs
// do not depend on the code under test.
struct Bytes {
    std::string b;
    Bytes& word(unsigned v)
    {
        b.push_back(static_cast<char>(v & 0xFF));
        b.push_back(static_cast<char>((v >> 8) & 0xFF));
        return *this;
    }
    Bytes& dword(std::uint32_t v) { return word(v & 0xFFFF).word(v >> 16); }
};

std::string slideHeader(unsigned xDots, unsigned yDots)
{
    Bytes s;
    s.b.assign("AutoCAD Slide\r\n\x1a", 17);
    s.b += "V\x02";
    s.word(xDots).word(yDots).word(0).word(0).word(0).word(0x1234);
    return s.b;
}

std::string tinySlide()
{
    return slideHeader(100, 100) + Bytes().word(0xFC00).b;
}

// fills of 65535 vertices, each edge zig-zagging across the whole picture.
std::string hostileSlide(int fills, unsigned xDots, unsigned yDots)
{
    Bytes s;
    s.b = slideHeader(xDots, yDots);
    for (int k = 0; k < fills; ++k) {
        s.word(0xFD00).word(65535).word(0);
        for (unsigned i = 0; i < 65535; ++i)
            s.word(0xFD00).word((i * 7) % (xDots + 1)).word(i % 2 ? 0 : yDots);
    }
    return s.word(0xFC00).b;
}

struct Entry {
    std::string name;
    std::uint32_t offset;
};

// A library's header and directory; the caller lays out the slides.
std::string libraryHead(const std::vector<Entry>& entries)
{
    Bytes s;
    s.b.assign("AutoCAD Slide Library 1.0\r\n\x1a\0\0\0\0", 32);
    for (const Entry& e : entries) {
        std::string name = e.name;
        name.resize(32, '\0');
        s.b += name;
        s.dword(e.offset);
    }
    s.b.append(36, '\0');
    return s.b;
}

std::uint32_t directoryEnd(std::size_t slides)
{
    return static_cast<std::uint32_t>(32 + 36 * (slides + 1));
}

// n slides of the same bytes, back to back, named S000000...
std::string libraryOf(std::size_t n, const std::string& slide)
{
    std::vector<Entry> entries;
    char name[32];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(name, sizeof name, "S%06zu", i);
        entries.push_back({ name, static_cast<std::uint32_t>(directoryEnd(n) + i * slide.size()) });
    }
    std::string lib = libraryHead(entries);
    lib.reserve(lib.size() + n * slide.size());
    for (std::size_t i = 0; i < n; ++i)
        lib += slide;
    return lib;
}

// A sparse library of size bytes: two slides, the second one byte at the end.
void writeSparseLibrary(const std::string& path, std::uint64_t size)
{
    const std::string head
        = libraryHead({ { "FIRST", directoryEnd(2) }, { "LAST", static_cast<std::uint32_t>(2147483646) } });
    std::ofstream(path, std::ios::binary) << head;
    std::filesystem::resize_file(path, size);
}

int countLines(const std::string& s)
{
    int n = 0;
    for (char c : s)
        n += c == '\n';
    return n;
}

class Bounds : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!haveTime()) GTEST_SKIP() << "/usr/bin/time is not installed (Debian package time)";
    }
    TempDir tmp;
};

TEST_F(Bounds, ManyFullFillsRenderInBoundedMemoryAndTime)
{
    // 20 fills of 65535 edges that each cross the picture (1.3 G pixel steps
    // of outline, 1 G of fill work): without the caps this is minutes of
    // drawing.
    tmp.write("hostile.sld", hostileSlide(20, 1023, 767));
    const Measured m = measured(tmp, QORVAN, { "render", "hostile.sld", "-o", "hostile.png" });
    ASSERT_EQ(m.r.status, 0) << m.r.err;
    EXPECT_EQ(readFile(tmp.path() / "hostile.png").substr(1, 3), "PNG");
    EXPECT_LT(m.peakKiB, 150 * 1024 * MEMORY_SCALE);
    EXPECT_LT(m.seconds, 15 * TIME_SCALE);
}

TEST_F(Bounds, SvgOfManyVectorsIsWrittenAsItIsDrawn)
{
    // 200 000 vectors (1.6 MB) make an SVG of 14 MB (exact) or 6 MB
    // (smooth); kept whole in memory that took 30 to 40 times the slide.
    Bytes s;
    s.b = slideHeader(4095, 3071);
    for (unsigned i = 0; i < 200000; ++i)
        s.word((i * 13) % 4096).word((i * 7) % 3072).word((i * 17) % 4096).word((i * 5) % 3072);
    tmp.write("many.sld", s.word(0xFC00).b);
    for (const char* style : { "exact", "smooth" }) {
        const Measured m = measured(
            tmp, QORVAN, { "render", "many.sld", "--size", "4000x4000", "--style", style, "-o", "many.svg" });
        ASSERT_EQ(m.r.status, 0) << m.r.err;
        EXPECT_GT(std::filesystem::file_size(tmp.path() / "many.svg"), 5u * 1000 * 1000) << style;
        EXPECT_LT(m.peakKiB, 20 * 1024 * MEMORY_SCALE) << style;
    }
}

TEST_F(Bounds, PicturesPastTheRasterLimitAreRefused)
{
    tmp.write("tiny.sld", tinySlide());
    for (const char* size : { "16385x16", "9000x9000" }) {
        const Measured m = measured(tmp, QORVAN, { "render", "tiny.sld", "--size", size, "-o", "out.png" });
        EXPECT_NE(m.r.status, 0) << size;
        EXPECT_NE(m.r.err, "") << size;
        EXPECT_FALSE(std::filesystem::exists(tmp.path() / "out.png")) << size;
        EXPECT_LT(m.peakKiB, 100 * 1024 * MEMORY_SCALE) << size;
    }
}

TEST_F(Bounds, SparseLibrariesAtAndPastTwoGigabytes)
{
    writeSparseLibrary(tmp.str("big.slb"), 2147483647ULL);
    writeSparseLibrary(tmp.str("toobig.slb"), 2147483648ULL);

    Measured m = measured(tmp, QORVAN, { "list", "big.slb" });
    EXPECT_EQ(m.r.status, 0) << m.r.err;
    EXPECT_EQ(m.r.out, "FIRST\nLAST\n");
    EXPECT_LT(m.peakKiB, 64 * 1024 * MEMORY_SCALE) << "the slides are never read";
    EXPECT_LT(m.seconds, 5 * TIME_SCALE);

    m = measured(tmp, QORVAN, { "list", "toobig.slb" });
    EXPECT_EQ(m.r.status, 1);
    // The store's message, then what is wrong, found without reading the file whole.
    EXPECT_EQ(m.r.err.rfind("qorvan list: toobig.slb: Slide library invalid. the file is longer than", 0), 0u)
        << m.r.err;
    EXPECT_LT(m.peakKiB, 64 * 1024 * MEMORY_SCALE) << "the slides are never read";

    // The console reads the same store; the one-byte slide at the end comes out.
    m = measured(tmp, CONSOLE,
        { "-e", "(slb-list \"big\")", "-e", "(slb-extract \"big\" \"last\" \".\")", "-e",
            "(slb-list \"toobig\")", "-e", "(slb-error)" });
    EXPECT_EQ(m.r.status, 0) << m.r.err;
    EXPECT_NE(m.r.out.find("(\"FIRST\" \"LAST\")\n"), std::string::npos) << m.r.out;
    EXPECT_NE(m.r.out.find("\nnil\n\"Slide library invalid.\"\n"), std::string::npos) << m.r.out;
    EXPECT_EQ(readFile(tmp.path() / "LAST.SLD"), std::string(1, '\0'));
    EXPECT_LT(m.peakKiB, 150 * 1024 * MEMORY_SCALE);
}

TEST_F(Bounds, ThumbnailsReadOnlyTheSlidesTheyDraw)
{
    // The desktop runs the thumbnailer on every file it shows: a library of
    // 2 GiB costs its directory and the slides drawn, a slide file of 2 GiB
    // (zeros after a header: vectors of nothing) its first 16 MiB at most.
    // FIRST is a real slide followed by 2 GiB of zeros up to LAST.
    tmp.write("big.slb",
        libraryHead({ { "FIRST", directoryEnd(2) }, { "LAST", static_cast<std::uint32_t>(2147483646) } })
            + slideHeader(100, 100) + Bytes().word(0).word(0).word(99).word(99).word(0xFC00).b);
    std::filesystem::resize_file(tmp.path() / "big.slb", 2147483647ULL);
    tmp.write("big.sld", slideHeader(100, 100));
    std::filesystem::resize_file(tmp.path() / "big.sld", 2147483647ULL);
    for (const char* input : { "big.slb", "big.sld", "big.slb(FIRST)" }) {
        const Measured m = measured(tmp, QORVAN, { "thumbnail", input, "out.png" });
        EXPECT_EQ(m.r.status, 0) << input << ": " << m.r.err;
        EXPECT_EQ(readFile(tmp.path() / "out.png").substr(1, 3), "PNG") << input;
        EXPECT_LT(m.peakKiB, 64 * 1024 * MEMORY_SCALE) << input;
    }
}

TEST_F(Bounds, HundredThousandSlidesListQuickly)
{
    tmp.write("many.slb", libraryOf(100000, tinySlide()));
    Measured m = measured(tmp, QORVAN, { "list", "many.slb" });
    ASSERT_EQ(m.r.status, 0) << m.r.err;
    EXPECT_EQ(countLines(m.r.out), 100000);
    EXPECT_EQ(m.r.out.substr(0, 8), "S000000\n");
    EXPECT_LT(m.peakKiB, 100 * 1024 * MEMORY_SCALE);
    EXPECT_LT(m.seconds, 3 * TIME_SCALE);

    m = measured(
        tmp, CONSOLE, { "-e", "(length (slb-list \"many\"))", "-e", "(nth 99999 (slb-list \"many\"))" });
    EXPECT_EQ(m.r.status, 0) << m.r.err;
    EXPECT_NE(m.r.out.find("\n100000\n"), std::string::npos) << m.r.out.substr(0, 400);
    EXPECT_NE(m.r.out.find("\n\"S099999\"\n"), std::string::npos);
    EXPECT_LT(m.peakKiB, 200 * 1024 * MEMORY_SCALE);
    EXPECT_LT(m.seconds, 5 * TIME_SCALE);
}

TEST_F(Bounds, TheSlideCountIsCapped)
{
    // A directory one entry longer than the cap is refused as a whole; a full
    // library takes no more slides and stays as it was.
    const std::string slide = tinySlide();
    tmp.write("over.slb", libraryOf(200001, ""));
    tmp.write("full.slb", libraryOf(200000, ""));
    tmp.write("extra.sld", slide);

    Measured m = measured(tmp, QORVAN, { "list", "over.slb" });
    EXPECT_EQ(m.r.status, 1);
    EXPECT_EQ(m.r.err.rfind("qorvan list: over.slb: Slide library invalid. more directory entries", 0), 0u)
        << m.r.err;
    EXPECT_LT(m.seconds, 3 * TIME_SCALE);

    const std::string before = readFile(tmp.path() / "full.slb");
    m = measured(tmp, QORVAN, { "append", "full.slb", "extra.sld" });
    EXPECT_EQ(m.r.status, 1);
    EXPECT_EQ(m.r.err, "qorvan append: full.slb: Error Unknown\n");
    EXPECT_EQ(readFile(tmp.path() / "full.slb"), before);
}

TEST_F(Bounds, DirectoryEntriesAtTheLastByteAndPastIt)
{
    const std::uint32_t first = directoryEnd(2);
    const std::string body(400 - first, 'x');
    struct Case {
        const char* file;
        std::uint32_t lastOffset;
        bool sound;
        std::size_t lastSize;
    } cases[] = {
        { "lastbyte.slb", 399, true, 1 }, // the final byte of the file
        { "atend.slb", 400, true, 0 }, // an empty slide at the end
        { "pastend.slb", 401, false, 0 },
        { "farpast.slb", 0x7FFFFFFF, false, 0 },
    };
    for (const Case& c : cases) {
        tmp.write(c.file, libraryHead({ { "A", first }, { "END", c.lastOffset } }) + body);
        const Measured m = measured(tmp, QORVAN, { "list", "--json", c.file });
        if (!c.sound) {
            EXPECT_EQ(m.r.status, 1) << c.file;
            EXPECT_EQ(m.r.err.rfind(std::string("qorvan list: ") + c.file
                              + ": Slide library invalid. directory entry 2 (END) points at byte",
                          0),
                0u)
                << m.r.err;
            continue;
        }
        EXPECT_EQ(m.r.status, 0) << c.file << m.r.err;
        const std::string last = "{\"name\": \"END\", \"offset\": " + std::to_string(c.lastOffset)
            + ", \"size\": " + std::to_string(c.lastSize) + "}";
        EXPECT_NE(m.r.out.find(last), std::string::npos) << c.file << m.r.out;
    }
    const Measured x = measured(tmp, QORVAN, { "extract", "lastbyte.slb", "end", "-d", "." });
    EXPECT_EQ(x.r.status, 0) << x.r.err;
    EXPECT_EQ(readFile(tmp.path() / "END.SLD"), "x");
}

// Quadrilaterals laid over each other across the whole drawing, from a
// fixed seed: every edge crosses hundreds of others.
std::string pileOfQuadrilaterals(int count)
{
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 1000 1000\"><path d=\"";
    unsigned seed = 20261209;
    for (int i = 0; i < count; ++i) {
        for (int k = 0; k < 4; ++k) {
            seed = seed * 1103515245u + 12345u;
            const unsigned x = (seed >> 8) % 1000;
            seed = seed * 1103515245u + 12345u;
            svg += (k ? " L" : "M") + std::to_string(x) + " " + std::to_string((seed >> 8) % 1000);
        }
        svg += "Z ";
    }
    return svg + "\"/></svg>";
}

TEST_F(Bounds, HostileDrawingsBecomeSlidesWithinTheirBounds)
{
    // Each once took minutes or gigabytes; each now ends, within the bounds
    // of docs/reliability.md, with its warning or its error.
    std::string css = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 200 200\"><style>";
    for (int i = 0; i < 40000; ++i)
        css += ".c" + std::to_string(i) + "{stroke:#" + std::to_string(100000 + i % 900000) + "}";
    css += "</style>";
    for (int i = 0; i < 40000; ++i)
        css += "<line class=\"c" + std::to_string(i) + "\" x1=\"" + std::to_string(i % 200)
            + "\" y1=\"0\" x2=\"" + std::to_string(i % 200) + "\" y2=\"200\"/>";
    tmp.write("css.svg", css + "</svg>");
    std::string hatch = "0\nSECTION\n2\nENTITIES\n0\nHATCH\n8\n0\n2\nSOLID\n70\n1\n91\n200\n";
    unsigned seed = 7;
    for (int loop = 0; loop < 200; ++loop) {
        hatch += "92\n2\n72\n0\n73\n1\n93\n4\n";
        for (int k = 0; k < 8; ++k) {
            seed = seed * 1103515245u + 12345u;
            hatch += (k % 2 ? "20\n" : "10\n") + std::to_string((seed >> 8) % 1000) + "\n";
        }
    }
    tmp.write("hatch.dxf", hatch + "75\n0\n76\n1\n98\n0\n0\nENDSEC\n0\nEOF\n");
    tmp.write("quads.svg", pileOfQuadrilaterals(500));
    tmp.write("quads1000.svg", pileOfQuadrilaterals(1000));
    tmp.write("dash.svg",
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"100\"><path d=\"M0 0L100 100\" "
        "stroke=\"black\" stroke-dasharray=\"1e-9 1e-9\"/></svg>");
    struct Case {
        const char* input;
        const char* warning; // in the messages, or nullptr for none
    } cases[] = {
        { "quads.svg", nullptr },
        // Twice the pile crosses four times as often: past the cutting work
        // a slide may spend, and outlined.
        { "quads1000.svg", "qorvan: warning: quads1000.svg: 1 filled area(s) drawn as outlines" },
        { "hatch.dxf", nullptr },
        { "css.svg", nullptr },
        { "dash.svg", "qorvan: warning: dash.svg: 1 dashed stroke(s) drawn solid" },
    };
    for (const Case& c : cases) {
        const Measured m = measured(tmp, QORVAN, { "make", c.input, "-o", "out.sld" });
        ASSERT_EQ(m.r.status, 0) << c.input << ": " << m.r.err;
        if (c.warning)
            EXPECT_NE(m.r.err.find(c.warning), std::string::npos) << m.r.err;
        else
            EXPECT_EQ(m.r.err.find("outlines"), std::string::npos) << c.input << ": " << m.r.err;
        EXPECT_LT(m.peakKiB, 120 * 1024 * MEMORY_SCALE) << c.input;
    }
}

TEST_F(Bounds, SalvageWritesNoLibraryTheStoreWouldRefuse)
{
    // One slide more than a library holds, back to back without a directory.
    const std::string slide = slideHeader(64, 64) + Bytes().word(0).word(0).word(63).word(63).word(0xFC00).b;
    std::string damaged(64, '\0');
    damaged.reserve(64 + 200001 * slide.size());
    for (int i = 0; i < 200001; ++i)
        damaged += slide;
    tmp.write("damaged.bin", damaged);
    const Measured m = measured(tmp, QORVAN, { "salvage", "damaged.bin", "-o", "saved.slb" });
    EXPECT_EQ(m.r.status, 1);
    EXPECT_NE(
        m.r.err.find("qorvan: 200001 slides recovered, more than a library holds (200000): saved.slb not "
                     "written; -d DIR writes them as files"),
        std::string::npos)
        << m.r.err.substr(0, 2000);
    EXPECT_FALSE(std::filesystem::exists(tmp.path() / "saved.slb"));
}

TEST_F(Bounds, BuildingALibraryOfManySlidesIsNotQuadratic)
{
    std::string text = "qorvan-library 1\n";
    for (int i = 1; i <= 100000; ++i)
        text += "entry " + std::to_string(i) + " \"S" + std::to_string(i) + "\"\n";
    text += "terminator\n";
    for (int i = 1; i <= 100000; ++i)
        text += "slide " + std::to_string(i) + "\nxdots 10\nydots 10\nvector 0 0 9 9\nend\n";
    tmp.write("many.txt", text);
    Measured m = measured(tmp, QORVAN, { "build", "many.txt", "-o", "many.slb" });
    ASSERT_EQ(m.r.status, 0) << m.r.err;
    m = measured(tmp, QORVAN, { "list", "many.slb" });
    EXPECT_EQ(countLines(m.r.out), 100000);
    // A label given twice is still found, named with the line of the first.
    tmp.write("twice.txt", "qorvan-library 1\nentry 1 \"A\"\nentry 2 \"B\"\nentry 1 \"C\"\nterminator\n");
    m = measured(tmp, QORVAN, { "build", "twice.txt", "-o", "twice.slb" });
    EXPECT_EQ(m.r.status, 1);
    EXPECT_NE(m.r.err.find("twice.txt:4:7: entry 1 is already given on line 2"), std::string::npos)
        << m.r.err;
}

TEST_F(Bounds, HugeViewSlideSizesAreClampedToTheScreen)
{
    if (!QORVAN_TEST_DIALOGS) GTEST_SKIP() << "built without the dialogs";
    tmp.write("plan.sld", readFile(std::filesystem::path(QORVAN_SOURCE_DIR) / "samples" / "house.sld"));
    const std::vector<std::string> offscreen = { "QT_QPA_PLATFORM=offscreen", "QORVAN_TEST_CLOSE_DIALOGS=1" };
    struct Case {
        const char* expr;
        int minSide, maxSide;
    } cases[] = {
        // A 30000 x 30000 picture would be 3.6 GB.
        { "(slb-view \"plan\" \"t\" 30000 30000)", 16, 4096 },
        { "(slb-view \"plan\" \"t\" 32767 1)", 16, 4096 },
        { "(slb-view \"plan\" \"t\" 0 -5)", 16, 16 },
    };
    for (const Case& c : cases) {
        const Measured m = measured(tmp, CONSOLE, { "-e", c.expr }, offscreen);
        EXPECT_EQ(m.r.status, 0) << c.expr << m.r.err;
        int dw = 0, dh = 0, pw = 0, ph = 0;
        const std::size_t at = m.r.err.find("dialog 141 ");
        ASSERT_NE(at, std::string::npos) << c.expr << m.r.err;
        ASSERT_EQ(std::sscanf(
                      m.r.err.c_str() + at, "dialog 141 \"t\" %dx%d picture 1049 %dx%d", &dw, &dh, &pw, &ph),
            4)
            << m.r.err;
        for (int side : { pw, ph }) {
            EXPECT_GE(side, c.minSide) << c.expr;
            EXPECT_LE(side, c.maxSide) << c.expr;
        }
        EXPECT_LE(pw, dw) << "the picture lies inside its dialog";
        EXPECT_LE(ph, dh);
        EXPECT_LT(m.peakKiB, 200 * 1024 * MEMORY_SCALE) << c.expr;
    }
}

} // namespace
