// SVG made by designers against an independent renderer: icons of Debian's
// Adwaita theme are made into slides, drawn by qorvan's renderer, and
// compared with librsvg's picture of the same file at the same size. Two
// figures per icon: the agreement of the covered pixels (intersection over
// union), and among pixels both cover, the share where the slide's colour is
// the palette colour nearest to librsvg's. Each icon has its own floors,
// a little under what was measured when they were set. Skips without the
// icons or rsvg-convert.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "import/svg.h"
#include "import/to_slide.h"
#include "slide/offscreen_window.h"
#include "slide/palette_match.h"
#include "slide/renderer.h"
#include "tests/support/tempdir.h"

namespace qorvan::import {
namespace {

    constexpr int DOTS = 128; // the slide's extents; pictures are DOTS + 1 square
    const char* const ICONS = "/usr/share/icons/Adwaita/scalable/";

    struct Icon {
        const char* path; // under ICONS
        double coverageFloor, colourFloor;
    };

    // A spread over the theme, and the icons that use strokes, transforms,
    // style attributes, rgb() percentages, masks and colours beyond the grey.
    const Icon ICON_TABLE[] = {
        { "actions/application-exit-symbolic.svg", 0.92, 0.97 },
        { "actions/edit-cut-symbolic.svg", 0.92, 0.97 },
        { "actions/format-text-direction-symbolic-rtl.svg", 0.92, 0.97 },
        { "actions/list-add-symbolic.svg", 0.97, 0.97 },
        { "actions/media-skip-forward-symbolic-rtl.svg", 0.95, 0.97 },
        { "actions/tools-check-spelling-symbolic.svg", 0.92, 0.97 },
        { "actions/view-sort-ascending-rtl-symbolic.svg", 0.92, 0.97 },
        { "categories/preferences-other-symbolic.svg", 0.93, 0.97 },
        { "devices/drive-harddisk-usb-symbolic.svg", 0.94, 0.97 },
        { "devices/phone-old-symbolic.svg", 0.92, 0.97 },
        { "emotes/face-crying-symbolic.svg", 0.94, 0.97 },
        { "legacy/battery-empty-charging-symbolic.svg", 0.91, 0.97 },
        { "legacy/preferences-system-details-symbolic.svg", 0.95, 0.97 },
        { "mimetypes/text-x-generic-symbolic.svg", 0.91, 0.97 },
        { "status/appointment-soon-symbolic.svg", 0.91, 0.97 },
        { "status/battery-level-30-symbolic.svg", 0.91, 0.97 },
        { "status/computer-fail-symbolic.svg", 0.90, 0.97 },
        { "status/microphone-disabled-symbolic.svg", 0.93, 0.97 },
        { "status/network-cellular-offline-symbolic.svg", 0.91, 0.97 },
        { "status/network-vpn-no-route-symbolic.svg", 0.92, 0.97 },
        { "status/orientation-portrait-right-symbolic.svg", 0.93, 0.97 },
        { "status/task-due-symbolic.svg", 0.92, 0.97 },
        { "status/weather-tornado-symbolic.svg", 0.95, 0.97 },
        { "places/user-home-symbolic.svg", 0.92, 0.97 },
        { "legacy/accessories-calculator-symbolic.svg", 0.91, 0.97 },
        { "actions/selection-mode-symbolic.svg", 0.89, 0.97 },
        { "legacy/preferences-system-parental-controls-symbolic.svg", 0.94, 0.97 },
        { "mimetypes/package-x-generic-symbolic.svg", 0.92, 0.97 },
        { "apps/help-contents-symbolic.svg", 0.91, 0.97 },
        { "emotes/face-angel-symbolic.svg", 0.91, 0.97 },
        { "legacy/accessories-character-map-symbolic.svg", 0.92, 0.97 },
        { "legacy/accessories-text-editor-symbolic.svg", 0.89, 0.97 },
        { "legacy/preferences-desktop-appearance-symbolic.svg", 0.91, 0.97 },
        { "emotes/face-monkey-symbolic.svg", 0.91, 0.97 },
        { "legacy/battery-empty-symbolic.svg", 0.92, 0.97 },
        { "status/software-update-urgent-symbolic.svg", 0.95, 0.97 },
    };

    struct Picture {
        int width = 0, height = 0;
        std::vector<std::uint8_t> rgba; // not premultiplied
    };

    bool readPng(const std::string& path, Picture& out)
    {
        png_image image {};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
        image.format = PNG_FORMAT_RGBA;
        out.width = static_cast<int>(image.width);
        out.height = static_cast<int>(image.height);
        out.rgba.resize(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr)) {
            png_image_free(&image);
            return false;
        }
        return true;
    }

    bool haveRsvg()
    {
        return std::system("rsvg-convert --version >/dev/null 2>&1") == 0;
    }

    struct Agreement {
        double coverage = 0, colour = 0;
    };

    // The slide's picture on black, as the dialogs draw it.
    std::vector<slide::ColorRef> renderSlide(const std::vector<std::uint8_t>& bytes)
    {
        slide::OffscreenWindow window(DOTS + 1, DOTS + 1, 0);
        window.InvalidateAndUpdate();
        slide::Surface* surface = window.GetSurface();
        slide::SlideRenderer renderer;
        renderer.window = &window;
        renderer.surface = surface;
        slide::MemoryStream stream(bytes.data(), bytes.size());
        slide::drawSlideStream(renderer, stream);
        window.ReleaseSurface(surface);
        return window.surface().pixels();
    }

    Agreement compare(const std::vector<slide::ColorRef>& slidePixels, const Picture& reference)
    {
        std::size_t both = 0, either = 0, sameColour = 0;
        for (std::size_t i = 0; i < slidePixels.size(); ++i) {
            const std::uint8_t* p = &reference.rgba[i * 4];
            const bool drawn = slidePixels[i] != 0;
            const bool painted = p[3] >= 128;
            either += drawn || painted;
            if (!(drawn && painted)) continue;
            ++both;
            const slide::ColorRef want = slide::paletteColor(slide::nearestPaletteIndex(p[0], p[1], p[2]));
            sameColour += want == slidePixels[i];
        }
        Agreement a;
        a.coverage = either ? static_cast<double>(both) / static_cast<double>(either) : 1;
        a.colour = both ? static_cast<double>(sameColour) / static_cast<double>(both) : 1;
        return a;
    }

    TEST(SvgIcons, AgreeWithLibrsvg)
    {
        if (!std::filesystem::is_directory(ICONS)) GTEST_SKIP() << "no Adwaita icons (adwaita-icon-theme)";
        if (!haveRsvg()) GTEST_SKIP() << "no rsvg-convert (librsvg2-bin)";
        qorvan::testing::TempDir dir;
        double coverageSum = 0, colourSum = 0;
        int compared = 0;
        for (const Icon& icon : ICON_TABLE) {
            const std::string path = std::string(ICONS) + icon.path;
            if (!std::filesystem::exists(path)) continue; // another version of the theme
            OpenResult open = openSvg(path, Options {});
            ASSERT_TRUE(open.source) << open.error;
            std::vector<std::uint8_t> bytes;
            std::vector<std::string> warnings;
            std::string error;
            SlideSize size;
            size.width = size.height = DOTS;
            size.margin = 0;
            ASSERT_TRUE(makeSlide(*open.source, size, bytes, warnings, error)) << error;

            const std::string png = dir.str("ref.png");
            const std::string command = "rsvg-convert -w " + std::to_string(DOTS + 1) + " -h "
                + std::to_string(DOTS + 1) + " -o '" + png + "' '" + path + "'";
            ASSERT_EQ(std::system(command.c_str()), 0) << command;
            Picture reference;
            ASSERT_TRUE(readPng(png, reference));
            ASSERT_EQ(reference.width, DOTS + 1);
            ASSERT_EQ(reference.height, DOTS + 1);

            const Agreement a = compare(renderSlide(bytes), reference);
            std::printf(
                "%-58s coverage %5.1f %%  colour %5.1f %%\n", icon.path, 100 * a.coverage, 100 * a.colour);
            EXPECT_GE(a.coverage, icon.coverageFloor) << icon.path;
            EXPECT_GE(a.colour, icon.colourFloor) << icon.path;
            coverageSum += a.coverage;
            colourSum += a.colour;
            ++compared;
        }
        if (compared == 0) GTEST_SKIP() << "none of the icons is in this version of the theme";
        std::printf("%d icons: mean coverage %.1f %%, mean colour %.1f %%\n", compared,
            100 * coverageSum / compared, 100 * colourSum / compared);
    }

} // namespace
} // namespace qorvan::import
