// The slide codec: the header check's fault set, the record reader over a
// file against the walk over memory, and the record encoder giving back the
// bytes it was given, unexamined words included.
#include <gtest/gtest.h>

#include "platform/io.h"
#include "slide/format.h"
#include "slide/records.h"
#include "slide/stream.h"
#include "tests/slide/slide_builder.h"
#include "tests/support/tempdir.h"

namespace qorvan::slide {
namespace {

    using testing::SlideBytes;
    using Bytes = std::vector<std::uint8_t>;

    Bytes bytesOf(const std::string& s)
    {
        return Bytes(s.begin(), s.end());
    }

    TEST(HeaderFaults, EachTestSetsItsOwnBit)
    {
        const std::string good = SlideBytes::newForm(100, 50).b;
        std::string lower = good;
        lower[0] = 'a';
        std::string kind = good;
        kind[KIND_OFFSET] = 'v';
        struct Case {
            const char* what;
            std::string bytes;
            unsigned faults;
            StatusCode status;
        } cases[] = {
            { "sound", good, 0, Ok },
            { "signature", lower, HEADER_SIGNATURE, DisplayMismatch },
            { "kind", kind, HEADER_KIND, DisplayMismatch },
            { "fill flag", SlideBytes::newForm(1, 1, 1).b, HEADER_FILL_FLAG, DisplayMismatch },
            { "test word", SlideBytes::newForm(1, 1, 0, 0x3412).b, HEADER_BYTE_ORDER, InvalidSlide },
            { "test word and signature",
                [&] {
                    std::string s = SlideBytes::newForm(1, 1, 0, 0).b;
                    s[0] = 'a';
                    return s;
                }(),
                HEADER_SIGNATURE | HEADER_BYTE_ORDER, InvalidSlide },
            { "cut short", good.substr(0, 25), HEADER_CUT_SHORT | HEADER_BYTE_ORDER, InvalidSlide },
            { "old form never has a test word", SlideBytes::oldForm(1, 1).b, 0, Ok },
            { "old form cut short", SlideBytes::oldForm(1, 1).b.substr(0, 33), HEADER_CUT_SHORT,
                DisplayMismatch },
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            Bytes b = bytesOf(c.bytes);
            const bool old = selectsOldForm(b.data(), b.size());
            const unsigned faults = slideHeaderFaults(b.data(), b.size(), old);
            EXPECT_EQ(faults, c.faults);
            EXPECT_EQ(headerStatus(faults, old), c.status);
            // The stream readers set the status from the same check.
            MemoryStream s(b.data(), b.size());
            SlideHeader h;
            EXPECT_EQ(old ? readOldSlideHeader(s, h) : readNewSlideHeader(s, h), c.status);
        }
    }

    TEST(HeaderCodec, ANewHeaderReadsBackInEitherOrder)
    {
        for (ByteOrder order : { ByteOrder::Little, ByteOrder::Big }) {
            Bytes b;
            appendNewSlideHeader(b, 1874, 829, -5, FILL_FLAG_FILLS, order);
            ASSERT_EQ(b.size(), NEW_HEADER_SIZE);
            const HeaderFields h = readHeaderFields(b.data(), b.size(), order);
            EXPECT_TRUE(h.complete);
            EXPECT_FALSE(h.oldForm);
            EXPECT_EQ(h.level, NEW_FORM_LEVEL);
            EXPECT_EQ(h.xDots, 1874);
            EXPECT_EQ(h.yDots, 829);
            EXPECT_DOUBLE_EQ(h.aspect, -5 / 10000000.0);
            EXPECT_EQ(h.fillFlag, FILL_FLAG_FILLS);
            EXPECT_EQ(h.byteOrderTest, BYTE_ORDER_TEST);
        }
        // Byte for byte what a header made by hand holds.
        Bytes b;
        appendNewSlideHeader(b, 300, 200, 0, FILL_FLAG_NONE);
        EXPECT_EQ(b, bytesOf(SlideBytes::newForm(300, 200).b));
        EXPECT_EQ(slideHeaderFaults(b.data(), b.size(), false), 0u);
    }

    TEST(HeaderCodec, RatiosAreScaledAndRounded)
    {
        const struct {
            double ratio;
            std::int32_t scaled;
        } ratios[] = {
            { 1.0, 10000000 },
            { 4.0 / 3.0, 13333333 },
            { 0.75, 7500000 },
            { -1.5, -15000000 },
            { 1e-7 * 2147483647, 2147483647 },
            { 300.0, 0 }, // 3e9 does not fit
            { -300.0, 0 },
        };
        for (const auto& c : ratios) {
            SCOPED_TRACE(c.ratio);
            EXPECT_EQ(scaledAspect(c.ratio), c.scaled);
        }
        const struct {
            std::int32_t x, y, scaled;
        } squares[] = {
            { 1000, 750, 13333333 },
            { 1874, 829, 22605549 },
            { 3, 1280, 23438 }, // 23437.5 exactly: halves round away from zero
            { -4, 2, -20000000 },
            { 5, 0, 0 },
        };
        for (const auto& c : squares) {
            SCOPED_TRACE(std::to_string(c.x) + "x" + std::to_string(c.y));
            EXPECT_EQ(squarePixelAspect(c.x, c.y), c.scaled);
        }
    }

    TEST(HeaderCodec, ACopyKeepsItsOwnSignatureKindAndLevel)
    {
        std::string odd = SlideBytes::newForm(640, 480, 2, 0x1234, 7).b;
        odd[3] = 'x';
        odd[KIND_OFFSET] = 'v';
        const Bytes in = bytesOf(odd);
        Bytes big, back;
        ASSERT_TRUE(encodeSlideHeader(in.data(), in.size(), ByteOrder::Little, ByteOrder::Big, false, big));
        ASSERT_TRUE(
            encodeSlideHeader(big.data(), big.size(), ByteOrder::Big, ByteOrder::Little, false, back));
        EXPECT_EQ(back, in);
        EXPECT_EQ(big[LEVEL_OFFSET], 7);
        EXPECT_NE(big, in);
    }

    // A slide with every record kind, the words no reader examines set to
    // values a careless encoder would lose.
    std::string everyKind()
    {
        return SlideBytes::newForm(300, 200)
            .vector(10, 20, 30, 40)
            .offsetVector(-3, 4, 127, -128)
            .commonEndpoint(-1, 1)
            .color(250)
            .word(0xFD7A)
            .word(2)
            .word(0xBEEF)
            .word(0x1111)
            .word(5)
            .word(6)
            .word(0x2222)
            .word(7)
            .word(8)
            .word(0x8042)
            .word(0xFA00)
            .word(0xFC99)
            .b;
    }

    TEST(RecordCodec, EncodingGivesBackTheBytesInEitherOrder)
    {
        Bytes in = bytesOf(everyKind());
        Bytes little, big;
        RecordWalk w = walkRecords(
            in.data(), in.size(), NEW_HEADER_SIZE, ByteOrder::Little, [&](const SlideRecord& r) {
                encodeRecord(r, ByteOrder::Little, little);
                encodeRecord(r, ByteOrder::Big, big);
            });
        ASSERT_TRUE(w.endRecord);
        EXPECT_EQ(little, Bytes(in.begin() + NEW_HEADER_SIZE, in.end()));
        // The big-endian bytes read big-endian are the same records.
        std::vector<std::uint16_t> words, wordsBig;
        walkRecords(in.data(), in.size(), NEW_HEADER_SIZE, ByteOrder::Little,
            [&](const SlideRecord& r) { words.push_back(r.word); });
        walkRecords(big.data(), big.size(), 0, ByteOrder::Big,
            [&](const SlideRecord& r) { wordsBig.push_back(r.word); });
        EXPECT_EQ(words, wordsBig);
        EXPECT_EQ(big.size(), little.size());
    }

    TEST(RecordCodec, RelativeRecordsAreMeasuredFromTheClampedFromPoint)
    {
        // (5, 5), then an offset vector whose from point is (-5, 1): clamped to
        // (0, 1), which the common-endpoint vector after it is measured from.
        Bytes in = bytesOf(SlideBytes::newForm(100, 100)
                               .vector(5, 5, 9, 9)
                               .offsetVector(-10, -4, 0, 0)
                               .commonEndpoint(2, 3)
                               .end()
                               .b);
        std::vector<SlideRecord> r;
        walkRecords(in.data(), in.size(), NEW_HEADER_SIZE, ByteOrder::Little,
            [&](const SlideRecord& x) { r.push_back(x); });
        ASSERT_EQ(r.size(), 4u);
        EXPECT_EQ(r[1].from.x, -5);
        EXPECT_EQ(r[2].from.x, 2);
        EXPECT_EQ(r[2].from.y, 4);
        EXPECT_EQ(r[2].to.x, 0);
        EXPECT_EQ(r[2].to.y, 1);
    }

    // The renderer reads through a buffered file stream, the tools through
    // memory: both must see the same records, cut where the data is cut.
    TEST(RecordCodec, FileStreamAndMemoryAgree)
    {
        qorvan::testing::TempDir dir;
        const std::string whole = everyKind();
        for (std::size_t cut : { whole.size(), whole.size() - 3, std::size_t { NEW_HEADER_SIZE + 9 },
                 std::size_t { NEW_HEADER_SIZE + 1 } }) {
            SCOPED_TRACE(cut);
            // Behind a 20-byte prefix, as a slide sits inside a library.
            std::string file = std::string(20, 'p') + whole.substr(0, cut);
            dir.write("s.sld", file);
            platform::File f = platform::File::open(dir.str("s.sld"), platform::OpenMode::Read);
            ASSERT_TRUE(f.isOpen());
            ASSERT_TRUE(f.seek(20 + NEW_HEADER_SIZE));
            FileStream stream(f);
            RecordReader reader(stream, ByteOrder::Little, { 0, 0 }, NEW_HEADER_SIZE);
            std::vector<std::size_t> fromFile, fromMemory;
            SlideRecord r;
            while (reader.next(r))
                fromFile.push_back(r.offset);
            Bytes mem = bytesOf(whole.substr(0, cut));
            RecordWalk w = walkRecords(mem.data(), mem.size(), NEW_HEADER_SIZE, ByteOrder::Little,
                [&](const SlideRecord& x) { fromMemory.push_back(x.offset); });
            EXPECT_EQ(fromFile, fromMemory);
            EXPECT_EQ(reader.walk().cutShort, w.cutShort);
            EXPECT_EQ(reader.walk().endRecord, w.endRecord);
            EXPECT_EQ(reader.walk().stopOffset, w.stopOffset);
        }
    }

} // namespace
} // namespace qorvan::slide
