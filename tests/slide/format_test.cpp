#include <gtest/gtest.h>

#include "slide/format.h"
#include "store/status.h"
#include "tests/slide/slide_builder.h"

namespace qorvan::slide {
namespace {

    using testing::SlideBytes;

    int check(const std::string& bytes)
    {
        MemoryStream s(bytes.data(), bytes.size());
        SlideHeader h;
        return peekSlideLevel(s) == 1 ? readOldSlideHeader(s, h) : readNewSlideHeader(s, h);
    }

    std::string withByte(const std::string& b, std::size_t at, unsigned v)
    {
        // Spliced rather than assigned through b[at]: g++ 12 at -O2 mistakes the
        // inlined copy for an empty string and warns about the store.
        return b.substr(0, at) + static_cast<char>(v) + b.substr(at + 1);
    }

    TEST(SlideHeader, CheckTable)
    {
        const std::string good = SlideBytes::newForm(100, 50).b;
        const std::string old = SlideBytes::oldForm(100, 50).b;
        struct Case {
            const char* what;
            std::string bytes;
            int want;
        } cases[] = {
            { "new form, good", good, Ok },
            { "old form, good", old, Ok },
            { "fillFlag 2 passes", SlideBytes::newForm(1, 1, 2).b, Ok },
            { "fillFlag 1", SlideBytes::newForm(1, 1, 1).b, DisplayMismatch },
            { "old fillFlag 1", SlideBytes::oldForm(1, 1, 1).b, DisplayMismatch },
            { "kind not V", withByte(good, 17, 'v'), DisplayMismatch },
            { "lower-case signature", withByte(good, 0, 'a'), DisplayMismatch },
            { "byte 16 not NUL", withByte(good, 16, 'x'), DisplayMismatch },
            { "byte order swapped", SlideBytes::newForm(1, 1, 0, 0x3412).b, InvalidSlide },
            { "wrong signature and byte order: 3 wins", withByte(SlideBytes::newForm(1, 1, 0, 0).b, 3, 'x'),
                InvalidSlide },
            { "old form never 3", withByte(withByte(old, 32, 0), 33, 0), Ok },
            { "level 0 reads the new form", SlideBytes::newForm(1, 1, 0, 0x1234, 0).b, Ok },
            { "level 3", SlideBytes::newForm(1, 1, 0, 0x1234, 3).b, Ok },
            { "level 255", SlideBytes::newForm(1, 1, 0, 0x1234, 255).b, Ok },
            { "aspect may hold anything", withByte(withByte(good, 23, 0xFF), 26, 0x80), Ok },
            { "spare may hold anything", withByte(old, 33, 0xFF), Ok },
            { "empty stream", "", InvalidSlide },
            { "cut after the signature", good.substr(0, 17), InvalidSlide },
            { "cut before the byte-order word", good.substr(0, 29), InvalidSlide },
            { "old form cut short", old.substr(0, 20), DisplayMismatch },
            { "old form without its spare byte", old.substr(0, 33), DisplayMismatch },
        };
        for (const Case& c : cases) {
            setStatus(SlideNotFound, "x", "y");
            EXPECT_EQ(check(c.bytes), c.want) << c.what;
            EXPECT_EQ(lastStatus(), c.want) << c.what << ": the status is set, also to 0";
        }
    }

    TEST(SlideHeader, FieldsAndPositions)
    {
        std::string bytes = SlideBytes::newForm(-2, 700).word(0xFC00).b;
        MemoryStream s(bytes.data(), bytes.size());
        ASSERT_TRUE(s.seek(0));
        EXPECT_EQ(peekSlideLevel(s), 2);
        EXPECT_EQ(s.tell(), 0) << "peeking leaves the position";
        SlideHeader h;
        readNewSlideHeader(s, h);
        EXPECT_EQ(s.tell(), 31);
        EXPECT_EQ(h.xDots(), -2) << "extents are signed";
        EXPECT_EQ(h.yDots(), 700);

        std::string lib = std::string(7, 'z') + SlideBytes::oldForm(5, 6).b;
        MemoryStream t(lib.data(), lib.size());
        t.seek(7);
        EXPECT_EQ(peekSlideLevel(t), 1);
        EXPECT_EQ(t.tell(), 7);
        readOldSlideHeader(t, h);
        EXPECT_EQ(t.tell(), 7 + 34);
        EXPECT_EQ(h.xDots(), 5);
    }

} // namespace
} // namespace qorvan::slide
