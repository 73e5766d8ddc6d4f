// Every slide written in all four forms (new or old header, either byte
// order) draws the same pixels, and converting back to its own form gives
// the original bytes.
#include <gtest/gtest.h>

#include "inspect/text_form.h"
#include "slide/byte_order.h"
#include "slide/offscreen_window.h"
#include "slide/renderer.h"
#include "tests/inspect/files.h"

namespace qorvan::slide {
namespace {

    using Bytes = std::vector<std::uint8_t>;

    // Drawn as the tool draws: a big-endian slide through a little-endian
    // copy, then the renderer on an off-screen window.
    std::vector<ColorRef> render(const Bytes& bytes)
    {
        OrderGuess order = detectByteOrder(bytes.data(), bytes.size());
        Bytes little = order.order == ByteOrder::Little
            ? bytes
            : transcodeSlide(bytes.data(), bytes.size(), ByteOrder::Big, ByteOrder::Little, SlideForm::Keep);
        OffscreenWindow window(320, 240, 0);
        window.InvalidateAndUpdate();
        Surface* surface = window.GetSurface();
        Rect client = surface->GetClientRect();
        Handle region = surface->CreateRectRgn(0, 0, client.width(), client.height());
        surface->SelectClipRgn(region);
        SlideRenderer renderer;
        renderer.window = &window;
        renderer.surface = surface;
        MemoryStream stream(little.data(), little.size());
        drawSlideStream(renderer, stream);
        surface->SelectClipRgn(NO_OBJECT);
        surface->DeleteObject(region);
        window.ReleaseSurface(surface);
        return window.surface().pixels();
    }

    Bytes build(const std::string& text)
    {
        inspect::BuildResult r = inspect::buildFromText(text);
        EXPECT_TRUE(r.ok) << r.error.line << ":" << r.error.column << " " << r.error.message;
        return r.bytes;
    }

    struct Target {
        SlideForm form;
        ByteOrder order;
        const char* name;
    };
    const Target TARGETS[] = { { SlideForm::New, ByteOrder::Little, "new little" },
        { SlideForm::New, ByteOrder::Big, "new big" }, { SlideForm::Old, ByteOrder::Little, "old little" },
        { SlideForm::Old, ByteOrder::Big, "old big" } };

    void checkAllForms(const Bytes& original, const std::string& label)
    {
        const OrderGuess from = detectByteOrder(original.data(), original.size());
        const HeaderFields h = readHeaderFields(original.data(), original.size(), from.order);
        ASSERT_TRUE(h.complete) << label;
        const SlideForm own = h.oldForm ? SlideForm::Old : SlideForm::New;
        const std::vector<ColorRef> pixels = render(original);
        for (const Target& t : TARGETS) {
            Bytes converted = transcodeSlide(original.data(), original.size(), from.order, t.order, t.form);
            HeaderFields c = readHeaderFields(converted.data(), converted.size(), t.order);
            EXPECT_EQ(c.oldForm, t.form == SlideForm::Old) << label << " as " << t.name;
            EXPECT_EQ(detectByteOrder(converted.data(), converted.size()).order, t.order)
                << label << " as " << t.name;
            EXPECT_TRUE(render(converted) == pixels) << label << " as " << t.name << " draws other pixels";
            Bytes back = transcodeSlide(converted.data(), converted.size(), t.order, from.order, own);
            // The new form's ratio is an integer in ten-millionths, so an old
            // slide's 8-byte ratio survives the new form only when it is one.
            if (!h.oldForm || t.form == SlideForm::Old) {
                EXPECT_TRUE(back == original)
                    << label << " through " << t.name << " does not come back the same";
            }
        }
    }

    TEST(ConvertForms, EveryRealSlide)
    {
        std::vector<std::filesystem::path> files = testing::realSlideFiles(".sld");
        if (files.empty()) GTEST_SKIP() << "no real files in " << QORVAN_TESTDATA_DIR;
        for (const auto& p : files)
            checkAllForms(testing::readBytes(p), p.string());
    }

    TEST(ConvertForms, HandMadeSlidesOfEveryForm)
    {
        const std::string records
            = "colour 1\nvector 0 0 200 100\noffset 5 5 -20 30\nendpoint 10 -10\n"
              "colour 3\nfill second=0xfffe 10,10 90,10 50,80\nfill second=0xfff7\nend\n";
        const char* const headers[] = {
            "byte-order little\nlevel 2\nxdots 200\nydots 100\n",
            "byte-order big\nlevel 2\nxdots 200\nydots 100\n",
            "byte-order little\nlevel 1\nxdots 200\nydots 100\naspect 1.75\nspare 0\n",
            "byte-order big\nlevel 1\nxdots 200\nydots 100\naspect 2.5\nspare 0\n",
        };
        for (const char* header : headers)
            checkAllForms(build(std::string("qorvan-slide 1\n") + header + records), header);
    }

    TEST(ConvertForms, RatiosMoveBetweenTheForms)
    {
        Bytes newForm
            = build("qorvan-slide 1\nxdots 10\nydots 10\naspect 00d55c6e\nend\n"); // bytes as stored
        Bytes old = transcodeSlide(
            newForm.data(), newForm.size(), ByteOrder::Little, ByteOrder::Little, SlideForm::Old);
        HeaderFields h = readHeaderFields(old.data(), old.size(), ByteOrder::Little);
        EXPECT_TRUE(h.oldForm);
        EXPECT_DOUBLE_EQ(h.aspect, 0x6e5cd500 / 10000000.0);
        Bytes exact = build("qorvan-slide 1\nlevel 1\nxdots 10\nydots 10\naspect 1.25\nend\n");
        Bytes viaNew
            = transcodeSlide(exact.data(), exact.size(), ByteOrder::Little, ByteOrder::Big, SlideForm::New);
        Bytes back
            = transcodeSlide(viaNew.data(), viaNew.size(), ByteOrder::Big, ByteOrder::Little, SlideForm::Old);
        EXPECT_EQ(back, exact);
    }

} // namespace
} // namespace qorvan::slide
