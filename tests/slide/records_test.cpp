// The record walker and the byte-order tools: each record kind read in both
// orders from slides written by hand, the order told from test words and
// from plausibility, and re-encoding checked byte for byte and by pixels.
#include "tests/support/testdata.h"
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "slide/byte_order.h"
#include "slide/records.h"
#include "tests/slide/slide_builder.h"
#include "tests/support/tempdir.h"

namespace qorvan::slide {
namespace {

    using Bytes = std::vector<std::uint8_t>;

    // Writes a slide in either order without the code under test: every 16-bit
    // value goes through word(), single bytes stay bytes.
    struct Writer {
        ByteOrder order;
        Bytes b;
        Writer& byte(unsigned v)
        {
            b.push_back(static_cast<std::uint8_t>(v & 0xFF));
            return *this;
        }
        Writer& word(unsigned v)
        {
            return order == ByteOrder::Little ? byte(v).byte(v >> 8) : byte(v >> 8).byte(v);
        }
        Writer& newHeader(unsigned x, unsigned y)
        {
            for (std::size_t i = 0; i < SLIDE_SIGNATURE_SIZE; ++i)
                byte(static_cast<unsigned char>(SLIDE_SIGNATURE[i]));
            byte('V').byte(2).word(x).word(y);
            // aspect 1.5 as the scaled 32-bit value, whole in the machine's order
            const std::uint32_t aspect = 15000000;
            for (int i = 0; i < 4; ++i)
                byte(aspect >> (8 * (order == ByteOrder::Little ? i : 3 - i)));
            return word(2).word(0x1234);
        }
        Writer& oldHeader(unsigned x, unsigned y)
        {
            for (std::size_t i = 0; i < SLIDE_SIGNATURE_SIZE; ++i)
                byte(static_cast<unsigned char>(SLIDE_SIGNATURE[i]));
            byte('V').byte(1).word(x).word(y);
            double aspect = 1.5;
            std::uint8_t raw[8];
            std::memcpy(raw, &aspect, 8);
            for (int i = 0; i < 8; ++i)
                byte(raw[order == ByteOrder::Little ? i : 7 - i]);
            return word(2).byte(0);
        }
        // One record of every kind, then the end.
        Writer& everyRecord()
        {
            word(10).word(20).word(30).word(40); // vector
            word(0xFB00 | 0x05).byte(0xFE).byte(3).byte(4); // offset vector (5,-2) -> (3,4)
            word(0xFE00 | 0xFF).byte(1); // common endpoint (-1, 1)
            word(0xFF00 | 1); // colour 1
            word(0xFD00).word(3).word(0); // fill of three
            word(0xFD00).word(1).word(2);
            word(0xFD00).word(50).word(2);
            word(0xFD00).word(50).word(60);
            word(0x8000); // skipped
            return word(0xFC00);
        }
    };

    std::vector<SlideRecord> walk(
        const Bytes& b, std::size_t start, ByteOrder order, RecordWalk* result = nullptr)
    {
        std::vector<SlideRecord> out;
        RecordWalk w
            = walkRecords(b.data(), b.size(), start, order, [&](const SlideRecord& r) { out.push_back(r); });
        if (result) *result = w;
        return out;
    }

    TEST(RecordWalker, ReadsEveryKindInBothOrders)
    {
        for (ByteOrder order : { ByteOrder::Little, ByteOrder::Big }) {
            Writer w { order, {} };
            w.newHeader(100, 80).everyRecord();
            RecordWalk result;
            std::vector<SlideRecord> r;
            std::vector<Point> vertices;
            walkRecords(w.b.data(), w.b.size(), NEW_HEADER_SIZE, order, [&](const SlideRecord& rec) {
                r.push_back(rec);
                if (rec.vertices) vertices = *rec.vertices;
            });
            result = walkRecords(w.b.data(), w.b.size(), NEW_HEADER_SIZE, order, [](const SlideRecord&) {});
            ASSERT_EQ(r.size(), 7u);
            struct {
                RecordKind kind;
                std::size_t offset, length;
                Point from, to;
            } want[] = {
                { RecordKind::Vector, 31, 8, { 10, 20 }, { 30, 40 } },
                { RecordKind::OffsetVector, 39, 5, { 15, 18 }, { 13, 24 } },
                { RecordKind::CommonEndpoint, 44, 3, { 14, 19 }, { 15, 18 } },
                { RecordKind::Colour, 47, 2, {}, {} },
                { RecordKind::SolidFill, 49, 24, {}, {} },
                { RecordKind::Skipped, 73, 2, {}, {} },
                { RecordKind::End, 75, 2, {}, {} },
            };
            for (std::size_t i = 0; i < 7; ++i) {
                SCOPED_TRACE(i);
                EXPECT_EQ(r[i].kind, want[i].kind);
                EXPECT_EQ(r[i].offset, want[i].offset);
                EXPECT_EQ(r[i].length, want[i].length);
                EXPECT_EQ(r[i].from, want[i].from);
                EXPECT_EQ(r[i].to, want[i].to);
            }
            EXPECT_EQ(r[3].colour, 1);
            EXPECT_EQ(vertices, (std::vector<Point> { { 1, 2 }, { 50, 2 }, { 50, 60 } }));
            EXPECT_TRUE(result.endRecord);
            EXPECT_FALSE(result.cutShort);
            EXPECT_EQ(result.stopOffset, w.b.size());
        }
    }

    TEST(RecordWalker, StopsWhereTheDataEnds)
    {
        auto base = testing::SlideBytes::newForm(100, 100);
        struct {
            const char* what;
            std::string records;
            bool cut, end;
            std::size_t records_read;
        } cases[] = {
            { "no end record", testing::SlideBytes {}.vector(1, 2, 3, 4).b, false, false, 1 },
            { "vector cut short", testing::SlideBytes {}.vector(1, 2, 3, 4).word(5).word(6).b, true, false,
                1 },
            { "fill cut short",
                testing::SlideBytes {}.word(0xFD00).word(2).word(0).word(0xFD00).word(1).word(1).b, true,
                false, 0 },
            { "lone trailing byte", testing::SlideBytes {}.color(3).byte(7).b, true, false, 1 },
            { "bytes after the end are not read", testing::SlideBytes {}.end().vector(1, 2, 3, 4).b, false,
                true, 1 },
        };
        for (const auto& c : cases) {
            std::string s = base.b + c.records;
            Bytes b(s.begin(), s.end());
            RecordWalk w;
            auto r = walk(b, NEW_HEADER_SIZE, ByteOrder::Little, &w);
            EXPECT_EQ(w.cutShort, c.cut) << c.what;
            EXPECT_EQ(w.endRecord, c.end) << c.what;
            EXPECT_EQ(r.size(), c.records_read) << c.what;
        }
    }

    // A fill longer than the reader takes in one read: every vertex arrives in
    // either order, and a fill cut anywhere is not returned at all.
    TEST(RecordWalker, LongFillsArriveWholeOrNotAtAll)
    {
        constexpr unsigned VERTICES = 150;
        for (ByteOrder order : { ByteOrder::Little, ByteOrder::Big }) {
            Writer w { order, {} };
            w.word(0xFF00 | 2).word(0xFD00).word(VERTICES).word(0);
            for (unsigned i = 0; i < VERTICES; ++i)
                w.word(0xFD00).word(i).word(1000 + 3 * i);
            const std::size_t fillAt = 2, fillEnd = w.b.size();
            w.word(0xFC00);
            RecordWalk result;
            std::vector<std::vector<Point>> fills;
            walkRecords(w.b.data(), w.b.size(), 0, order, [&](const SlideRecord& r) {
                if (r.kind == RecordKind::SolidFill) fills.push_back(*r.vertices);
            });
            ASSERT_EQ(fills.size(), 1u);
            ASSERT_EQ(fills[0].size(), VERTICES);
            for (unsigned i = 0; i < VERTICES; ++i)
                EXPECT_EQ(fills[0][i],
                    (Point { static_cast<std::int32_t>(i), static_cast<std::int32_t>(1000 + 3 * i) }))
                    << i;
            for (std::size_t cut = fillAt + 1; cut < fillEnd; ++cut) {
                std::vector<SlideRecord> r = walk(
                    Bytes(w.b.begin(), w.b.begin() + static_cast<std::ptrdiff_t>(cut)), 0, order, &result);
                ASSERT_EQ(r.size(), 1u) << cut;
                EXPECT_EQ(r[0].kind, RecordKind::Colour) << cut;
                EXPECT_TRUE(result.cutShort) << cut;
                EXPECT_EQ(result.stopOffset, fillAt) << cut;
            }
        }
    }

    TEST(ByteOrder, ToldByTestWordOrByPlausibility)
    {
        struct {
            const char* what;
            Bytes bytes;
            ByteOrder order;
            OrderEvidence evidence;
        } cases[] = {
            { "new form, little", Writer { ByteOrder::Little, {} }.newHeader(600, 400).everyRecord().b,
                ByteOrder::Little, OrderEvidence::TestWord },
            { "new form, big", Writer { ByteOrder::Big, {} }.newHeader(600, 400).everyRecord().b,
                ByteOrder::Big, OrderEvidence::TestWord },
            { "old form, little", Writer { ByteOrder::Little, {} }.oldHeader(600, 400).everyRecord().b,
                ByteOrder::Little, OrderEvidence::Plausibility },
            { "old form, big", Writer { ByteOrder::Big, {} }.oldHeader(600, 400).everyRecord().b,
                ByteOrder::Big, OrderEvidence::Plausibility },
            // An extent whose bytes read the same both ways leaves the records
            // to decide.
            { "old form, big, symmetric extent",
                Writer { ByteOrder::Big, {} }.oldHeader(0x0101, 0x0101).everyRecord().b, ByteOrder::Big,
                OrderEvidence::Plausibility },
        };
        for (const auto& c : cases) {
            OrderGuess g = detectByteOrder(c.bytes.data(), c.bytes.size());
            EXPECT_EQ(g.order, c.order) << c.what;
            EXPECT_EQ(g.evidence, c.evidence) << c.what;
        }
    }

    TEST(ByteOrder, TranscodingAHandWrittenBigEndianSlideGivesTheLittleEndianOne)
    {
        Bytes big = Writer { ByteOrder::Big, {} }.newHeader(600, 400).everyRecord().b;
        Bytes little = Writer { ByteOrder::Little, {} }.newHeader(600, 400).everyRecord().b;
        EXPECT_EQ(transcodeSlide(big.data(), big.size(), ByteOrder::Big, ByteOrder::Little, true), little);
        EXPECT_EQ(transcodeSlide(little.data(), little.size(), ByteOrder::Little, ByteOrder::Big, true), big);

        // An old-form slide becomes the new form: level 2, the scaled aspect and
        // the byte-order word, records unchanged.
        Bytes oldBig = Writer { ByteOrder::Big, {} }.oldHeader(600, 400).everyRecord().b;
        EXPECT_EQ(
            transcodeSlide(oldBig.data(), oldBig.size(), ByteOrder::Big, ByteOrder::Little, true), little);
        HeaderFields h = readHeaderFields(oldBig.data(), oldBig.size(), ByteOrder::Big);
        EXPECT_TRUE(h.oldForm);
        EXPECT_DOUBLE_EQ(h.aspect, 1.5);
    }

    TEST(ByteOrder, TranscodingAddsAMissingEndAndDropsACutRecord)
    {
        auto s = testing::SlideBytes::newForm(100, 100).vector(1, 2, 3, 4).word(9);
        Bytes in(s.b.begin(), s.b.end());
        Bytes out = transcodeSlide(in.data(), in.size(), ByteOrder::Little, ByteOrder::Little, true);
        auto want = testing::SlideBytes::newForm(100, 100).vector(1, 2, 3, 4).end();
        // The header's aspect is copied, the builder writes zero there too.
        EXPECT_EQ(std::string(out.begin(), out.end()), want.b);
        EXPECT_TRUE(transcodeSlide(in.data(), 20, ByteOrder::Little, ByteOrder::Little, true).empty());
    }

    TEST(ByteOrder, RealSlidesSurviveARoundTripThroughBigEndian)
    {
        namespace fs = std::filesystem;
        fs::path root = testing::testdataDir();
        std::error_code ec;
        if (!fs::is_directory(root, ec)) GTEST_SKIP() << "no real files under " << root;
        int checked = 0;
        for (const auto& e : fs::recursive_directory_iterator(root, ec)) {
            if (!e.is_regular_file() || e.path().extension() != ".sld") continue;
            std::string s = testing::readFile(e.path());
            Bytes b(s.begin(), s.end());
            Bytes big = transcodeSlide(b.data(), b.size(), ByteOrder::Little, ByteOrder::Big, true);
            OrderGuess g = detectByteOrder(big.data(), big.size());
            EXPECT_EQ(g.order, ByteOrder::Big) << e.path();
            Bytes back = transcodeSlide(big.data(), big.size(), ByteOrder::Big, ByteOrder::Little, true);
            RecordWalk w = walkRecords(
                b.data(), b.size(), NEW_HEADER_SIZE, ByteOrder::Little, [](const SlideRecord&) {});
            // Up to its end record a well-made slide comes back byte for byte.
            ASSERT_TRUE(w.endRecord) << e.path();
            EXPECT_EQ(back, Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(w.stopOffset)))
                << e.path();
            ++checked;
        }
        EXPECT_GT(checked, 0);
    }

} // namespace
} // namespace qorvan::slide
