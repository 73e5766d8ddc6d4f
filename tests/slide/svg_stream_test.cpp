// SVG written as it is drawn: the pieces a sink receives make the document
// an in-memory surface makes, no piece grows with the drawing, and the
// document is the one the surface wrote before it streamed.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "slide/picture.h"
#include "slide/svg_surface.h"
#include "tests/slide/slide_builder.h"

namespace qorvan::slide {
namespace {

    using testing::SlideBytes;

    const std::uint8_t* bytesOf(const std::string& s)
    {
        return reinterpret_cast<const std::uint8_t*>(s.data());
    }

    // Thousands of records of every kind: chains of lines in changing
    // colours, single points, fills and offset vectors.
    std::string busySlide(int count)
    {
        SlideBytes b = SlideBytes::newForm(4095, 3071);
        for (int i = 0; i < count; ++i) {
            const unsigned x = static_cast<unsigned>(i * 13) % 4000, y = static_cast<unsigned>(i * 7) % 3000;
            if (i % 500 == 0) b.color(static_cast<unsigned>(i / 500) % 256);
            switch (i % 7) {
            case 0:
                b.vector(x, y, x, y);
                break;
            case 1:
                b.fill({ { x, y }, { x + 40, y }, { x + 20, y + 30 } });
                break;
            case 2:
                b.offsetVector(3, -4, -5, 6);
                break;
            default:
                b.vector(x, y, (x + 50) % 4000, (y + 20) % 3000);
            }
        }
        return b.end().b;
    }

    struct Drawn {
        std::string document;
        std::vector<std::size_t> pieces;
        bool finished = false;
    };

    Drawn streamed(const std::string& slide, int w, int h, bool smooth)
    {
        Drawn d;
        SvgSurface svg(w, h, rgb(0, 0, 0), smooth, [&d](const char* data, std::size_t n) {
            d.document.append(data, n);
            d.pieces.push_back(n);
            return true;
        });
        drawSlideBytes(svg, nullptr, bytesOf(slide), slide.size(), PictureLook {});
        d.finished = svg.finish();
        return d;
    }

    std::string inMemory(const std::string& slide, int w, int h, bool smooth)
    {
        SvgSurface svg(w, h, rgb(0, 0, 0), smooth);
        drawSlideBytes(svg, nullptr, bytesOf(slide), slide.size(), PictureLook {});
        return svg.document();
    }

    TEST(SvgStream, PiecesMakeTheDocumentAndStayBounded)
    {
        struct Case {
            const char* name;
            std::string slide;
            int width, height;
        };
        const Case cases[] = {
            { "small", SlideBytes::newForm(9, 9).color(1).vector(0, 0, 9, 9).vector(7, 7, 7, 7).end().b, 10,
                10 },
            { "busy, small picture", busySlide(20000), 300, 200 },
            { "busy, large picture", busySlide(20000), 4000, 3000 },
        };
        for (const Case& c : cases)
            for (bool smooth : { false, true }) {
                SCOPED_TRACE(std::string(c.name) + (smooth ? ", smooth" : ", exact"));
                Drawn d = streamed(c.slide, c.width, c.height, smooth);
                ASSERT_TRUE(d.finished);
                EXPECT_EQ(d.document, inMemory(c.slide, c.width, c.height, smooth));
                ASSERT_FALSE(d.pieces.empty());
                // Handed on while drawing, in pieces no larger than one
                // spill plus the element that crossed the line.
                for (std::size_t i = 0; i < d.pieces.size(); ++i) {
                    EXPECT_LT(d.pieces[i], SvgSurface::STREAM_PIECE + 1024) << i;
                    if (i + 1 < d.pieces.size()) {
                        EXPECT_GE(d.pieces[i], SvgSurface::STREAM_PIECE) << i;
                    }
                }
                if (c.slide.size() > 100000) {
                    EXPECT_GT(d.pieces.size(), 10u);
                }
            }
    }

    TEST(SvgStream, AFailedPieceFailsTheDocumentAndStopsTheSink)
    {
        const std::string slide = busySlide(20000);
        int calls = 0;
        SvgSurface svg(
            400, 300, rgb(0, 0, 0), false, [&calls](const char*, std::size_t) { return ++calls < 2; });
        drawSlideBytes(svg, nullptr, bytesOf(slide), slide.size(), PictureLook {});
        EXPECT_FALSE(svg.finish());
        EXPECT_EQ(calls, 2) << "nothing is offered after the sink refused";
    }

    // The document of samples/house.sld as the surface wrote it whole in
    // memory, before it streamed (smooth: without the pixel-grid copy of
    // each line it then also wrote).
    const char* const HOUSE_EXACT = R"svg(<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="1001" height="751" viewBox="0 0 1001 751">
<rect width="1001" height="751" fill="#000000"/>
<g stroke-width="1" stroke-linecap="butt" shape-rendering="crispEdges">
<clipPath id="c1"><rect x="0" y="0" width="1001" height="751"/></clipPath>
<g clip-path="url(#c1)">
<line x1="250.5" y1="650.5" x2="750.5" y2="650.5" stroke="#ffffff"/>
<line x1="750.5" y1="650.5" x2="750.5" y2="300.5" stroke="#ffffff"/>
<line x1="750.5" y1="300.5" x2="250.5" y2="300.5" stroke="#ffffff"/>
<line x1="250.5" y1="300.5" x2="250.5" y2="650.5" stroke="#ffffff"/>
<polygon points="220.5,300.5 780.5,300.5 500.5,70.5" fill="#ff0000" fill-rule="nonzero" stroke="#ff0000"/>
<polygon points="450.5,650.5 550.5,650.5 550.5,450.5 450.5,450.5" fill="#00ff00" fill-rule="nonzero" stroke="#00ff00"/>
<line x1="300.5" y1="450.5" x2="400.5" y2="450.5" stroke="#00ffff"/>
<line x1="400.5" y1="450.5" x2="400.5" y2="350.5" stroke="#00ffff"/>
<line x1="400.5" y1="350.5" x2="300.5" y2="350.5" stroke="#00ffff"/>
<line x1="300.5" y1="350.5" x2="300.5" y2="450.5" stroke="#00ffff"/>
<line x1="600.5" y1="450.5" x2="700.5" y2="450.5" stroke="#00ffff"/>
<line x1="700.5" y1="450.5" x2="700.5" y2="350.5" stroke="#00ffff"/>
<line x1="700.5" y1="350.5" x2="600.5" y2="350.5" stroke="#00ffff"/>
<line x1="600.5" y1="350.5" x2="600.5" y2="450.5" stroke="#00ffff"/>
</g>
</g>
</svg>
)svg";

    const char* const HOUSE_SMOOTH = R"svg(<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="1001" height="751" viewBox="0 0 1001 751">
<rect width="1001" height="751" fill="#000000"/>
<g stroke-width="1" stroke-linecap="round" stroke-linejoin="round" fill="none">
<clipPath id="c1"><rect x="0" y="0" width="1001" height="751"/></clipPath>
<g clip-path="url(#c1)">
<path d="M250.5 650.5L750.5 650.5L750.5 300.5L250.5 300.5L250.5 650.5" stroke="#ffffff"/>
<path d="M220.5 300.5L780.5 300.5L500.5 70.5Z" fill="#ff0000" stroke="#ff0000"/>
<path d="M450.5 650.5L550.5 650.5L550.5 450.5L450.5 450.5Z" fill="#00ff00" stroke="#00ff00"/>
<path d="M300.5 450.5L400.5 450.5L400.5 350.5L300.5 350.5L300.5 450.5M600.5 450.5L700.5 450.5L700.5 350.5L600.5 350.5L600.5 450.5" stroke="#00ffff"/>
</g>
</g>
</svg>
)svg";

    TEST(SvgStream, TheDocumentIsTheOneWrittenBefore)
    {
        std::ifstream in(std::string(QORVAN_SOURCE_DIR) + "/samples/house.sld", std::ios::binary);
        const std::string house((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_FALSE(house.empty());
        for (bool smooth : { false, true }) {
            SCOPED_TRACE(smooth ? "smooth" : "exact");
            Drawn d = streamed(house, 1001, 751, smooth);
            ASSERT_TRUE(d.finished);
            EXPECT_EQ(d.document, smooth ? HOUSE_SMOOTH : HOUSE_EXACT);
        }
    }

} // namespace
} // namespace qorvan::slide
