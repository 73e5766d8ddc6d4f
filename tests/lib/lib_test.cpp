// libqorvan through its C interface: opening, listing, describing and
// drawing slides and libraries, and every way a caller can get it wrong.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include "qorvan/qorvan.h"
#include "slide/byte_order.h"
#include "tests/slide/slide_builder.h"
#include "tests/support/tempdir.h"

namespace {

using qorvan::testing::SlideBytes;
using qorvan::testing::TempDir;

struct File {
    qorvan_file* f = nullptr;
    ~File() { qorvan_close(f); }
};

qorvan_status openBytes(const std::string& bytes, File& out, const char* name = "test.sld")
{
    return qorvan_open_memory(bytes.data(), bytes.size(), name, &out.f);
}

// A 100 x 50 slide: a red line along the bottom, a colour-7 line up the
// left side.
std::string redAndWhite()
{
    return SlideBytes::newForm(99, 49).color(1).vector(0, 0, 99, 0).color(7).vector(0, 0, 0, 49).end().b;
}

std::string transcoded(const std::string& s, qorvan::slide::ByteOrder to, qorvan::slide::SlideForm form)
{
    auto* p = reinterpret_cast<const std::uint8_t*>(s.data());
    auto out = qorvan::slide::transcodeSlide(p, s.size(), qorvan::slide::ByteOrder::Little, to, form);
    return std::string(out.begin(), out.end());
}

// A library holding the given slides under the given names.
std::string library(const std::vector<std::pair<std::string, std::string>>& slides)
{
    std::string out = "AutoCAD Slide Library 1.0\r\n\x1a";
    out.resize(32, '\0');
    std::uint32_t offset = static_cast<std::uint32_t>(32 + 36 * (slides.size() + 1));
    for (const auto& [name, bytes] : slides) {
        std::string entry = name;
        entry.resize(32, '\0');
        for (int i = 0; i < 4; ++i)
            entry.push_back(static_cast<char>((offset >> (8 * i)) & 0xFF));
        out += entry;
        offset += static_cast<std::uint32_t>(bytes.size());
    }
    out.append(36, '\0');
    for (const auto& s : slides)
        out += s.second;
    return out;
}

struct Picture {
    int width, height;
    std::vector<std::uint8_t> rgba;
    const std::uint8_t* at(int x, int y) const { return &rgba[static_cast<std::size_t>(y * width + x) * 4]; }
    int count(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 255) const
    {
        int n = 0;
        for (std::size_t i = 0; i < rgba.size(); i += 4)
            n += rgba[i] == r && rgba[i + 1] == g && rgba[i + 2] == b && rgba[i + 3] == a;
        return n;
    }
};

Picture render(const qorvan_file* f, int w, int h, const qorvan_render_options* o = nullptr, size_t index = 0)
{
    Picture p { w, h, std::vector<std::uint8_t>(static_cast<std::size_t>(w * h) * 4, 0xEE) };
    EXPECT_EQ(qorvan_render(f, index, o, w, h, p.rgba.data(), static_cast<std::size_t>(w) * 4), QORVAN_OK)
        << qorvan_last_error();
    return p;
}

TEST(LibOpen, FailuresNameTheFileAndTheReason)
{
    TempDir dir;
    dir.write("notes.txt", "not a slide at all");
    dir.write("empty.sld", "");
    struct Case {
        std::string path;
        qorvan_status status;
        std::string words;
    } cases[] = {
        { dir.str("missing.sld"), QORVAN_ERROR_OPEN, "missing.sld" },
        { dir.str("notes.txt"), QORVAN_ERROR_FORMAT, "notes.txt: neither a slide nor a slide library" },
        { dir.str("empty.sld"), QORVAN_ERROR_FORMAT, "empty.sld: neither" },
        { dir.str(), QORVAN_ERROR_OPEN, dir.str() },
    };
    for (const Case& c : cases) {
        qorvan_file* f = reinterpret_cast<qorvan_file*>(1);
        EXPECT_EQ(qorvan_open_path(c.path.c_str(), &f), c.status) << c.path;
        EXPECT_EQ(f, nullptr) << c.path;
        EXPECT_NE(std::string(qorvan_last_error()).find(c.words), std::string::npos)
            << c.path << ": " << qorvan_last_error();
    }
    qorvan_file* f = nullptr;
    EXPECT_EQ(qorvan_open_path(nullptr, &f), QORVAN_ERROR_ARGUMENT);
    EXPECT_EQ(qorvan_open_path("x", nullptr), QORVAN_ERROR_ARGUMENT);
    EXPECT_EQ(qorvan_open_memory(nullptr, 4, nullptr, &f), QORVAN_ERROR_ARGUMENT);
    EXPECT_EQ(qorvan_open_memory(nullptr, 0, nullptr, &f), QORVAN_ERROR_FORMAT);
    EXPECT_NE(std::string(qorvan_last_error()).find("(memory)"), std::string::npos);
}

TEST(LibOpen, SlideFileIsOneSlideNamedAfterTheFile)
{
    TempDir dir;
    dir.write("Arrow.sld", redAndWhite());
    File f;
    ASSERT_EQ(qorvan_open_path(dir.str("Arrow.sld").c_str(), &f.f), QORVAN_OK) << qorvan_last_error();
    EXPECT_EQ(qorvan_is_library(f.f), 0);
    EXPECT_EQ(qorvan_slide_count(f.f), 1u);
    EXPECT_STREQ(qorvan_slide_name(f.f, 0), "Arrow");
    EXPECT_EQ(qorvan_slide_name(f.f, 1), nullptr);
    size_t index = 9;
    EXPECT_EQ(qorvan_find_slide(f.f, "arrow", &index), QORVAN_OK);
    EXPECT_EQ(index, 0u);
    EXPECT_EQ(qorvan_find_slide(f.f, "BOX", &index), QORVAN_ERROR_NOT_FOUND);
}

TEST(LibOpen, LibraryListsItsSlidesInOrder)
{
    const std::string a = redAndWhite();
    const std::string b = SlideBytes::newForm(10, 10).vector(0, 0, 10, 10).end().b;
    File f;
    ASSERT_EQ(
        openBytes(library({ { "FIRST", a }, { "SECOND", b }, { "THIRD", a } }), f, "parts.slb"), QORVAN_OK)
        << qorvan_last_error();
    EXPECT_EQ(qorvan_is_library(f.f), 1);
    ASSERT_EQ(qorvan_slide_count(f.f), 3u);
    EXPECT_STREQ(qorvan_slide_name(f.f, 0), "FIRST");
    EXPECT_STREQ(qorvan_slide_name(f.f, 2), "THIRD");
    size_t index = 0;
    EXPECT_EQ(qorvan_find_slide(f.f, "second", &index), QORVAN_OK);
    EXPECT_EQ(index, 1u);
    EXPECT_EQ(qorvan_find_slide(f.f, "fourth", &index), QORVAN_ERROR_NOT_FOUND);
    EXPECT_STREQ(qorvan_last_error(), "Slide FOURTH not found in library parts.slb.");

    qorvan_slide_info info {};
    info.struct_size = sizeof info;
    ASSERT_EQ(qorvan_slide_info_get(f.f, 1, &info), QORVAN_OK);
    EXPECT_EQ(info.offset, 32u + 36u * 4u + a.size());
    EXPECT_EQ(info.size, b.size());
    EXPECT_EQ(info.width, 11);

    File empty;
    ASSERT_EQ(openBytes(library({}), empty, "none.slb"), QORVAN_OK);
    EXPECT_EQ(qorvan_slide_count(empty.f), 0u);
    std::uint8_t px[4];
    EXPECT_EQ(qorvan_render(empty.f, 0, nullptr, 1, 1, px, 4), QORVAN_ERROR_EMPTY);
    EXPECT_STREQ(qorvan_last_error(), "No slide exists in library none.slb.");
}

TEST(LibInfo, BothFormsAndBothOrders)
{
    using qorvan::slide::ByteOrder;
    using qorvan::slide::SlideForm;
    struct Case {
        const char* what;
        std::string bytes;
        int form, order, guessed, level;
    } cases[] = {
        { "new little", redAndWhite(), QORVAN_FORM_NEW, QORVAN_ORDER_LITTLE, 0, 2 },
        { "new big", transcoded(redAndWhite(), ByteOrder::Big, SlideForm::Keep), QORVAN_FORM_NEW,
            QORVAN_ORDER_BIG, 0, 2 },
        { "old little", transcoded(redAndWhite(), ByteOrder::Little, SlideForm::Old), QORVAN_FORM_OLD,
            QORVAN_ORDER_LITTLE, 1, 1 },
        { "old big", transcoded(redAndWhite(), ByteOrder::Big, SlideForm::Old), QORVAN_FORM_OLD,
            QORVAN_ORDER_BIG, 1, 1 },
    };
    for (const Case& c : cases) {
        File f;
        ASSERT_EQ(openBytes(c.bytes, f), QORVAN_OK) << c.what;
        qorvan_slide_info info {};
        info.struct_size = sizeof info;
        ASSERT_EQ(qorvan_slide_info_get(f.f, 0, &info), QORVAN_OK) << c.what;
        EXPECT_EQ(info.form, c.form) << c.what;
        EXPECT_EQ(info.byte_order, c.order) << c.what;
        EXPECT_EQ(info.byte_order_guessed, c.guessed) << c.what;
        EXPECT_EQ(info.level, c.level) << c.what;
        EXPECT_EQ(info.x_dots, 99) << c.what;
        EXPECT_EQ(info.y_dots, 49) << c.what;
        EXPECT_EQ(info.width, 100) << c.what;
        EXPECT_EQ(info.height, 50) << c.what;
        EXPECT_EQ(info.header, QORVAN_HEADER_OK) << c.what;
        // Every form and order draws the same picture.
        Picture p = render(f.f, 100, 50);
        EXPECT_EQ(p.count(255, 0, 0), 98) << c.what; // the white line starts on its first pixel
        EXPECT_EQ(p.count(255, 255, 255), 49) << c.what;
    }
}

TEST(LibInfo, SlideBeyondTheLibrarysEndIsEmptyAndInvalid)
{
    // A directory whose slide the file no longer holds: listed, described
    // as nothing, refused for drawing.
    const std::string whole = library({ { "GONE", redAndWhite() } });
    File f;
    ASSERT_EQ(openBytes(whole.substr(0, 32 + 36 * 2), f, "cut.slb"), QORVAN_OK);
    ASSERT_EQ(qorvan_slide_count(f.f), 1u);
    qorvan_slide_info info {};
    info.struct_size = sizeof info;
    ASSERT_EQ(qorvan_slide_info_get(f.f, 0, &info), QORVAN_OK);
    EXPECT_EQ(info.size, 0u);
    EXPECT_EQ(info.form, 0);
    EXPECT_EQ(info.header, QORVAN_HEADER_INVALID);
    std::uint8_t px[16];
    EXPECT_EQ(qorvan_render(f.f, 0, nullptr, 2, 2, px, 8), QORVAN_ERROR_SLIDE);
    EXPECT_STREQ(qorvan_last_error(), "cut.slb(GONE): Error reading slide file. *Invalid*");
}

TEST(LibInfo, OlderCallersStructureIsWrittenNoFurther)
{
    File f;
    ASSERT_EQ(openBytes(redAndWhite(), f), QORVAN_OK);
    qorvan_slide_info info;
    std::memset(&info, 0x5A, sizeof info);
    info.struct_size = offsetof(qorvan_slide_info, level);
    ASSERT_EQ(qorvan_slide_info_get(f.f, 0, &info), QORVAN_OK);
    EXPECT_EQ(info.form, QORVAN_FORM_NEW);
    EXPECT_EQ(info.level, 0x5A5A5A5A);
    info.struct_size = 0;
    EXPECT_EQ(qorvan_slide_info_get(f.f, 0, &info), QORVAN_ERROR_ARGUMENT);
    EXPECT_EQ(qorvan_slide_info_get(nullptr, 0, &info), QORVAN_ERROR_ARGUMENT);
}

TEST(LibRender, BackgroundsAndColourSeven)
{
    File f;
    ASSERT_EQ(openBytes(redAndWhite(), f), QORVAN_OK);
    struct Case {
        int background, colour7;
        std::uint8_t bg[4], seven[4];
    } cases[] = {
        { QORVAN_BACKGROUND_BLACK, QORVAN_COLOUR7_AUTO, { 0, 0, 0, 255 }, { 255, 255, 255, 255 } },
        { QORVAN_BACKGROUND_WHITE, QORVAN_COLOUR7_AUTO, { 255, 255, 255, 255 }, { 0, 0, 0, 255 } },
        { QORVAN_BACKGROUND_NONE, QORVAN_COLOUR7_AUTO, { 0, 0, 0, 0 }, { 255, 255, 255, 255 } },
        { QORVAN_BACKGROUND_NONE, QORVAN_COLOUR7_BLACK, { 0, 0, 0, 0 }, { 0, 0, 0, 255 } },
        { QORVAN_BACKGROUND_WHITE, QORVAN_COLOUR7_WHITE, { 255, 255, 255, 255 }, { 255, 255, 255, 255 } },
    };
    for (const Case& c : cases) {
        qorvan_render_options o;
        qorvan_render_options_init(&o);
        o.background = c.background;
        o.colour7 = c.colour7;
        Picture p = render(f.f, 100, 50, &o);
        const int red = p.count(255, 0, 0);
        const int seven = p.count(c.seven[0], c.seven[1], c.seven[2], c.seven[3]);
        const int bg = p.count(c.bg[0], c.bg[1], c.bg[2], c.bg[3]);
        EXPECT_EQ(red, 98) << c.background << "/" << c.colour7;
        if (std::memcmp(c.bg, c.seven, 4) == 0) {
            EXPECT_EQ(bg, 100 * 50 - 98) << c.background << "/" << c.colour7;
        } else {
            EXPECT_EQ(seven, 49) << c.background << "/" << c.colour7;
            EXPECT_EQ(bg, 100 * 50 - 98 - 49) << c.background << "/" << c.colour7;
        }
    }
}

TEST(LibRender, AnySizeAndFramings)
{
    // A short line in the middle of a large slide.
    File f;
    ASSERT_EQ(
        openBytes(SlideBytes::newForm(999, 999).color(1).vector(450, 500, 550, 500).end().b, f), QORVAN_OK);
    Picture slide = render(f.f, 200, 200);
    EXPECT_GE(slide.count(255, 0, 0), 19);
    EXPECT_LE(slide.count(255, 0, 0), 21);
    qorvan_render_options o;
    qorvan_render_options_init(&o);
    o.fit = QORVAN_FIT_DRAWING;
    Picture drawing = render(f.f, 200, 200, &o);
    EXPECT_GT(drawing.count(255, 0, 0), 150); // the line spans the picture but for the margin
    // A stride wider than the row leaves the bytes between rows alone.
    std::vector<std::uint8_t> wide(static_cast<std::size_t>(13 * 7), 0x77);
    ASSERT_EQ(qorvan_render(f.f, 0, nullptr, 3, 7, wide.data(), 13), QORVAN_OK);
    for (int row = 0; row < 7; ++row)
        EXPECT_EQ(wide[static_cast<std::size_t>(row * 13 + 12)], 0x77) << row;
}

TEST(LibRender, SmoothIsAntialiasedAndStraightAlpha)
{
    File f;
    ASSERT_EQ(openBytes(SlideBytes::newForm(99, 99).color(1).vector(0, 0, 99, 37).end().b, f), QORVAN_OK);
    qorvan_render_options o;
    qorvan_render_options_init(&o);
    o.style = QORVAN_STYLE_SMOOTH;
    o.background = QORVAN_BACKGROUND_NONE;
    Picture p = render(f.f, 100, 100, &o);
    int partial = 0, clear = 0, unstraight = 0;
    for (std::size_t i = 0; i < p.rgba.size(); i += 4) {
        const std::uint8_t a = p.rgba[i + 3];
        if (a == 0) ++clear;
        if (a > 0 && a < 255) ++partial;
        // Red ink over nothing: unpremultiplied, the colour stays pure red.
        if (a > 16 && (p.rgba[i] < 250 || p.rgba[i + 1] > 5)) ++unstraight;
    }
    EXPECT_GT(partial, 50);
    EXPECT_GT(clear, 9000);
    EXPECT_EQ(unstraight, 0);
}

TEST(LibRender, CallerMistakesAreRefused)
{
    File f;
    ASSERT_EQ(openBytes(redAndWhite(), f), QORVAN_OK);
    std::vector<std::uint8_t> px(64 * 4);
    qorvan_render_options bad;
    qorvan_render_options_init(&bad);
    bad.background = 7;
    qorvan_render_options unsized;
    qorvan_render_options_init(&unsized);
    unsized.struct_size = 0;
    struct Case {
        const char* what;
        const qorvan_file* file;
        size_t index;
        const qorvan_render_options* options;
        int w, h;
        void* rgba;
        size_t stride;
        qorvan_status status;
    } cases[] = {
        { "no file", nullptr, 0, nullptr, 8, 8, px.data(), 32, QORVAN_ERROR_ARGUMENT },
        { "index past the end", f.f, 1, nullptr, 8, 8, px.data(), 32, QORVAN_ERROR_ARGUMENT },
        { "no buffer", f.f, 0, nullptr, 8, 8, nullptr, 32, QORVAN_ERROR_ARGUMENT },
        { "zero width", f.f, 0, nullptr, 0, 8, px.data(), 32, QORVAN_ERROR_ARGUMENT },
        { "negative height", f.f, 0, nullptr, 8, -1, px.data(), 32, QORVAN_ERROR_ARGUMENT },
        { "short stride", f.f, 0, nullptr, 8, 8, px.data(), 31, QORVAN_ERROR_ARGUMENT },
        { "too large", f.f, 0, nullptr, 16385, 1, px.data(), 16385 * 4, QORVAN_ERROR_MEMORY },
        { "too many pixels", f.f, 0, nullptr, 16384, 16384, px.data(), 16384 * 4, QORVAN_ERROR_MEMORY },
        { "unknown background", f.f, 0, &bad, 8, 8, px.data(), 32, QORVAN_ERROR_ARGUMENT },
        { "no struct_size", f.f, 0, &unsized, 8, 8, px.data(), 32, QORVAN_ERROR_ARGUMENT },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(qorvan_render(c.file, c.index, c.options, c.w, c.h, c.rgba, c.stride), c.status) << c.what;
        EXPECT_STRNE(qorvan_last_error(), "") << c.what;
    }
}

TEST(LibRender, InvalidHeaderIsReportedMismatchIsDrawn)
{
    // The byte-order word of the new form is what the viewer refuses.
    File invalid;
    ASSERT_EQ(openBytes(SlideBytes::newForm(9, 9, 0, 0x5555).vector(0, 0, 9, 9).end().b, invalid, "odd.sld"),
        QORVAN_OK);
    std::vector<std::uint8_t> px(10 * 10 * 4);
    EXPECT_EQ(qorvan_render(invalid.f, 0, nullptr, 10, 10, px.data(), 40), QORVAN_ERROR_SLIDE);
    EXPECT_STREQ(qorvan_last_error(), "odd.sld: Error reading slide file. *Invalid*");
    qorvan_slide_info info {};
    info.struct_size = sizeof info;
    ASSERT_EQ(qorvan_slide_info_get(invalid.f, 0, &info), QORVAN_OK);
    EXPECT_EQ(info.header, QORVAN_HEADER_INVALID);

    File mismatch;
    ASSERT_EQ(openBytes(SlideBytes::newForm(9, 9, 1).vector(0, 0, 9, 9).end().b, mismatch), QORVAN_OK);
    ASSERT_EQ(qorvan_slide_info_get(mismatch.f, 0, &info), QORVAN_OK);
    EXPECT_EQ(info.header, QORVAN_HEADER_MISMATCH);
    Picture p = render(mismatch.f, 10, 10);
    EXPECT_EQ(p.count(255, 255, 255), 9);
}

TEST(LibRender, FitSize)
{
    File f;
    ASSERT_EQ(openBytes(redAndWhite(), f), QORVAN_OK);
    struct Case {
        int maxW, maxH, w, h;
    } cases[] = { { 0, 0, 100, 50 }, { 50, 50, 50, 25 }, { 0, 10, 20, 10 }, { 1000, 0, 1000, 500 },
        { 1, 1, 1, 1 } };
    for (const Case& c : cases) {
        int w = 0, h = 0;
        ASSERT_EQ(qorvan_fit_size(f.f, 0, c.maxW, c.maxH, &w, &h), QORVAN_OK);
        EXPECT_EQ(w, c.w) << c.maxW << "x" << c.maxH;
        EXPECT_EQ(h, c.h) << c.maxW << "x" << c.maxH;
    }
    int w, h;
    EXPECT_EQ(qorvan_fit_size(f.f, 0, -1, 0, &w, &h), QORVAN_ERROR_ARGUMENT);
}

TEST(LibRender, CutShortAnywhereIsSafe)
{
    // Every prefix of a library and of a slide opens or is refused, and
    // draws or is refused, without faults (the sanitizer build watches).
    const std::string lib = library({ { "A", redAndWhite() }, { "B", redAndWhite() } });
    std::vector<std::uint8_t> px(16 * 16 * 4);
    for (std::size_t n = 0; n <= lib.size(); ++n) {
        File f;
        if (openBytes(lib.substr(0, n), f) != QORVAN_OK) continue;
        for (size_t i = 0; i < qorvan_slide_count(f.f); ++i) {
            qorvan_render(f.f, i, nullptr, 16, 16, px.data(), 64);
            qorvan_slide_info info {};
            info.struct_size = sizeof info;
            EXPECT_EQ(qorvan_slide_info_get(f.f, i, &info), QORVAN_OK) << n;
        }
    }
}

TEST(LibRender, ThreadsDrawOneFileAtOnce)
{
    File f;
    ASSERT_EQ(openBytes(redAndWhite(), f), QORVAN_OK);
    const Picture alone = render(f.f, 100, 50);
    std::vector<Picture> pictures(4);
    std::vector<std::thread> threads;
    for (auto& p : pictures)
        threads.emplace_back([&f, &p] { p = render(f.f, 100, 50); });
    for (auto& t : threads)
        t.join();
    for (const Picture& p : pictures)
        EXPECT_EQ(p.rgba, alone.rgba);
}

} // namespace
