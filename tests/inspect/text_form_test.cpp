// The text form: dump then build gives back every file byte for byte, and
// a person's edits build into the slide they meant, or fail naming the
// line and column.
#include <gtest/gtest.h>

#include <random>

#include "inspect/text_form.h"
#include "slide/byte_order.h"
#include "slide/records.h"
#include "tests/inspect/files.h"

namespace qorvan::inspect {
namespace {

    using testing::filesUnder;
    using testing::readBytes;
    using testing::realSlideFiles;

    void expectRoundTrip(const std::vector<std::uint8_t>& bytes, const std::string& label)
    {
        for (bool library : { false, true }) {
            for (bool offsets : { true, false }) {
                std::string text = library ? dumpLibrary(bytes.data(), bytes.size(), offsets)
                                           : dumpSlide(bytes.data(), bytes.size(), offsets);
                BuildResult r = buildFromText(text);
                ASSERT_TRUE(r.ok) << label << (library ? " as a library" : " as a slide") << ": line "
                                  << r.error.line << ":" << r.error.column << ": " << r.error.message;
                EXPECT_EQ(r.library, library);
                ASSERT_TRUE(r.bytes == bytes)
                    << label << (library ? " as a library" : " as a slide") << " came back as "
                    << r.bytes.size() << " bytes, not " << bytes.size();
            }
        }
    }

    TEST(TextFormRoundTrip, EveryRealFile)
    {
        std::vector<std::filesystem::path> files = realSlideFiles(".sld");
        for (const auto& p : realSlideFiles(".slb"))
            files.push_back(p);
        if (files.empty()) GTEST_SKIP() << "no real files in " << QORVAN_TESTDATA_DIR;
        for (const auto& p : files)
            expectRoundTrip(readBytes(p), p.string());
    }

    TEST(TextFormRoundTrip, EveryFuzzCorpusFile)
    {
        std::vector<std::filesystem::path> files
            = filesUnder(std::filesystem::path(QORVAN_SOURCE_DIR) / "fuzz" / "corpus");
        ASSERT_FALSE(files.empty());
        for (const auto& p : files)
            expectRoundTrip(readBytes(p), p.string());
    }

    // Damaged and odd shapes the corpora may not hold: random bytes behind a
    // real-looking header, libraries with offsets anywhere, every short length.
    TEST(TextFormRoundTrip, RandomDamageWithFixedSeed)
    {
        std::mt19937 rng(15);
        const std::string slideHead = std::string("AutoCAD Slide\r\n\x1a\0V\x02", 19)
            + std::string("\x10\x00\x10\x00", 4) + std::string("\0\0\0\0\x02\x00\x34\x12", 8);
        const std::string libraryHead = std::string("AutoCAD Slide Library 1.0\r\n\x1a\0\0\0\0", 32);
        for (int round = 0; round < 400; ++round) {
            std::vector<std::uint8_t> bytes;
            const std::string& head = round % 2 ? libraryHead : slideHead;
            bytes.assign(head.begin(), head.end());
            std::size_t extra = rng() % 300;
            for (std::size_t i = 0; i < extra; ++i) {
                // Mostly record-type high bytes and small values, so records parse.
                std::uint32_t pick = rng() % 8;
                bytes.push_back(static_cast<std::uint8_t>(pick < 3 ? 0xF8 + rng() % 8
                        : pick < 6                                 ? rng() % 4
                                                                   : rng()));
            }
            if (round % 2 && bytes.size() >= 32 + 36) {
                // A directory entry whose offset lands anywhere.
                bytes[32] = 'A';
                for (int b = 0; b < 4; ++b)
                    bytes[64 + static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(rng());
                if (rng() % 2) bytes[64 + 3] = 0, bytes[64 + 2] = 0;
            }
            bytes.resize(rng() % (bytes.size() + 1));
            expectRoundTrip(bytes, "random case " + std::to_string(round));
        }
    }

    // The records of a built slide, as the tools read them.
    std::vector<std::string> recordsOf(const std::vector<std::uint8_t>& bytes)
    {
        std::vector<std::string> out;
        slide::HeaderFields h = slide::readHeaderFields(bytes.data(), bytes.size(), slide::ByteOrder::Little);
        slide::walkRecords(bytes.data(), bytes.size(), h.headerSize, slide::ByteOrder::Little,
            [&](const slide::SlideRecord& r) {
                std::string s = slide::recordKindName(r.kind);
                if (r.kind == slide::RecordKind::Colour) s += " " + std::to_string(r.colour);
                if (r.kind == slide::RecordKind::Vector || r.kind == slide::RecordKind::OffsetVector
                    || r.kind == slide::RecordKind::CommonEndpoint)
                    s += " " + std::to_string(r.from.x) + "," + std::to_string(r.from.y) + " "
                        + std::to_string(r.to.x) + "," + std::to_string(r.to.y);
                if (r.kind == slide::RecordKind::SolidFill)
                    for (slide::Point p : *r.vertices)
                        s += " " + std::to_string(p.x) + "," + std::to_string(p.y);
                out.push_back(s);
            });
        return out;
    }

    TEST(TextFormEdits, AHandWrittenSlideTakesTheDefaults)
    {
        BuildResult r = buildFromText("qorvan-slide 1\n"
                                      "xdots 639   # the rest of the header is the usual\n"
                                      "ydots 479\n"
                                      "colour 1\n"
                                      "vector 0 0 639 479\n"
                                      "offset 1 2 -3 -4\n"
                                      "endpoint 5 -6\n"
                                      "fill 10,10 20,10 15,-1\n"
                                      "end\n");
        ASSERT_TRUE(r.ok) << r.error.line << ":" << r.error.column << " " << r.error.message;
        slide::HeaderFields h
            = slide::readHeaderFields(r.bytes.data(), r.bytes.size(), slide::ByteOrder::Little);
        ASSERT_TRUE(h.complete);
        EXPECT_FALSE(h.oldForm);
        EXPECT_EQ(h.xDots, 639);
        EXPECT_EQ(h.yDots, 479);
        EXPECT_EQ(h.fillFlag, 2);
        EXPECT_EQ(h.byteOrderTest, 0x1234);
        EXPECT_NEAR(h.aspect, 639.0 / 479.0, 1e-7);
        EXPECT_EQ(recordsOf(r.bytes),
            (std::vector<std::string> { "colour 1", "vector 0,0 639,479", "offset vector 1,2 -3,-4",
                "common-endpoint vector 6,-4 1,2", "solid fill 10,10 20,10 15,65535", "end" }));
    }

    TEST(TextFormEdits, ChangeAColourDeleteARecordAddAVector)
    {
        const std::string original
            = "qorvan-slide 1\nxdots 100\nydots 100\ncolour 7\nvector 1 2 3 4\nvector 5 6 7 8\nend\n";
        BuildResult a = buildFromText(original);
        ASSERT_TRUE(a.ok);
        std::string text = dumpSlide(a.bytes.data(), a.bytes.size());
        // The way a person edits: find the lines and change them.
        auto replace = [&](const std::string& from, const std::string& to) {
            std::size_t at = text.find(from);
            ASSERT_NE(at, std::string::npos) << from;
            text.replace(at, text.find('\n', at) - at, to);
        };
        replace("colour 7", "colour 1");
        replace("vector 1 2 3 4", "# deleted");
        replace("end", "vector 10 20 30 40\nend");
        BuildResult b = buildFromText(text);
        ASSERT_TRUE(b.ok) << b.error.message;
        EXPECT_EQ(recordsOf(b.bytes),
            (std::vector<std::string> { "colour 1", "vector 5,6 7,8", "vector 10,20 30,40", "end" }));
    }

    TEST(TextFormEdits, BigEndianAndOldFormTextsWriteThoseForms)
    {
        BuildResult r = buildFromText(
            "qorvan-slide 1\nbyte-order big\nlevel 1\nxdots 300\nydots 200\naspect 1.5\ncolour 2\nend\n");
        ASSERT_TRUE(r.ok) << r.error.message;
        ASSERT_EQ(r.bytes.size(), 34u + 4u);
        EXPECT_EQ(r.bytes[18], 1);
        EXPECT_EQ(r.bytes[19], 0x01); // 300 high byte first
        EXPECT_EQ(r.bytes[20], 0x2C);
        slide::HeaderFields h
            = slide::readHeaderFields(r.bytes.data(), r.bytes.size(), slide::ByteOrder::Big);
        EXPECT_TRUE(h.oldForm);
        EXPECT_DOUBLE_EQ(h.aspect, 1.5);
        EXPECT_EQ(r.bytes[34], 0xFF); // colour record, high byte first
        EXPECT_EQ(r.bytes[35], 2);
    }

    struct BadText {
        const char* text;
        int line, column;
        const char* says;
    };

    TEST(TextFormErrors, NameTheLineAndColumn)
    {
        const BadText cases[] = {
            { "", 1, 1, "empty" },
            { "qorvan-picture 1\n", 1, 1, "starts with" },
            { "qorvan-slide 2\n", 1, 14, "version 1" },
            { "qorvan-slide 1\nxdots 100\nydots 100\ncolour 256\n", 4, 8, "0..255" },
            { "qorvan-slide 1\nxdots 100\nydots 100\nvector 40000 0 0 0\n", 4, 8, "from-x" },
            { "qorvan-slide 1\nxdots 100\nydots 100\nvector 1 2 3\n", 4, 1, "4 values" },
            { "qorvan-slide 1\nxdots 100\nydots 100\noffset 1 2 3 200\n", 4, 14, "-128..127" },
            { "qorvan-slide 1\nxdots 100\nydots 100\nfill 1,2 3\n", 4, 10, "x,y" },
            { "qorvan-slide 1\nxdots 100\nydots 100\ncircle 1 2 3\n", 4, 1, "unknown line" },
            { "qorvan-slide 1\nxdots 100\ncolour 1\n", 3, 1, "lacks ydots" },
            { "qorvan-slide 1\nxdots 100\nydots 100\ncolour 1\nlevel 1\n", 5, 1, "before the first record" },
            { "qorvan-slide 1\nxdots 100\nxdots 200\n", 3, 1, "twice" },
            { "qorvan-slide 1\nsignature \"AutoCAD\"\n", 2, 11, "17 bytes" },
            { "qorvan-slide 1\nsignature \"AutoCAD\\q\"\n", 2, 19, "unknown escape" },
            { "qorvan-slide 1\nkind \"V\n", 2, 6, "not closed" },
            { "qorvan-slide 1\nlevel 1\nxdots 1\nydots 1\naspect 01020304\nend\n", 5, 8, "8 bytes" },
            { "qorvan-slide 1\nlevel 1\nbyte-order-word 0x1234\nxdots 1\nydots 1\nend\n", 3, 17,
                "new-form field" },
            { "qorvan-slide 1\nxdots 1\nydots 1\nbytes 0g\n", 4, 7, "hex" },
            { "qorvan-library 1\nentry 1 \"A\"\nslide 1\nxdots 1\nydots 1\nend\n", 3, 1,
                "after the terminator" },
            { "qorvan-library 1\nentry 1 \"A\"\nterminator\n", 2, 1, "no slide section" },
            { "qorvan-library 1\nentry 1 \"A\"\nentry 1 \"B\"\n", 3, 7, "already given" },
            { "qorvan-library 1\nentry 1 \"\"\n", 2, 9, "empty" },
            { "qorvan-library 1\nentry 1 \"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456\"\n", 2, 9, "32 bytes" },
            { "qorvan-library 1\nterminator\nslide 9\n", 3, 7, "no entry 9" },
            { "qorvan-library 1\nentry 1 \"A\"\nterminator\nslide 1\nxdots 1\nydots 1\nend\nmagic \"x\"\n", 8,
                1, "unknown line" },
            { "qorvan-library 1\nentry 1 \"A\"\nslide 1\n", 3, 1, "after the terminator" },
            { "qorvan-library 1\nentry 1 \"A\" offset=1\n", 2, 1, "terminator line" },
        };
        for (const BadText& c : cases) {
            BuildResult r = buildFromText(c.text);
            EXPECT_FALSE(r.ok) << c.text;
            EXPECT_EQ(r.error.line, c.line) << c.text << " -> " << r.error.message;
            EXPECT_EQ(r.error.column, c.column) << c.text << " -> " << r.error.message;
            EXPECT_NE(r.error.message.find(c.says), std::string::npos) << c.text << " -> " << r.error.message;
        }
    }

    TEST(TextFormLibrary, SlidesCanBeDeletedAndAddedWithoutCountingBytes)
    {
        BuildResult r = buildFromText("qorvan-library 1\n"
                                      "entry 1 \"BOX\"\nentry 2 \"GONE\"\nentry 3 \"NEW\"\nterminator\n"
                                      "slide 1\nxdots 10\nydots 10\ncolour 1\nend\n"
                                      "slide 3\nxdots 20\nydots 20\nend\n"
                                      "slide 2\nxdots 30\nydots 30\nvector 1 1 2 2\nend\n");
        ASSERT_TRUE(r.ok) << r.error.line << ": " << r.error.message;
        std::string text = dumpLibrary(r.bytes.data(), r.bytes.size(), false);
        // Entry 2's slide sits last in the file; the directory follows it.
        EXPECT_NE(text.find("entry 2 \"GONE\""), std::string::npos) << text;
        std::size_t cut = text.find("entry 2 \"GONE\"");
        text.erase(cut, text.find('\n', cut) - cut + 1);
        cut = text.find("slide 2");
        text.erase(cut); // its section runs to the end
        BuildResult smaller = buildFromText(text);
        ASSERT_TRUE(smaller.ok) << smaller.error.line << ": " << smaller.error.message << "\n" << text;
        // Slides of 35 and 33 bytes after a header, two entries and the terminator.
        EXPECT_EQ(smaller.bytes.size(), 32u + 36u * 3u + 35u + 33u);
        BuildResult again = buildFromText(dumpLibrary(smaller.bytes.data(), smaller.bytes.size()));
        EXPECT_TRUE(again.ok && again.bytes == smaller.bytes);
    }

} // namespace
} // namespace qorvan::inspect
