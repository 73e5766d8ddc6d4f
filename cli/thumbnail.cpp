// qorvan thumbnail: the command the desktop's thumbnailer runs.
#include "cli/thumbnail.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <utility>

#include "cli/commands.h"
#include "cli/common.h"
#include "cli/picture_options.h"
#include "slide/offscreen_window.h"
#include "slide/picture.h"
#include "slide/png.h"
#include "slide/raster_surface.h"
#include "slide/slide_source.h"
#include "store/library_codec.h"
#include "store/status.h"
#include "store/whole_file.h"

namespace qorvan::cli {

namespace {

    // Desktops run the thumbnailer on every file they show, so no file may
    // cost more than this to read: a slide's first 16 MiB, up to its end
    // record (real slides are well under 1 MiB), and a library's directory.
    constexpr std::size_t THUMBNAIL_SLIDE_BYTES = std::size_t { 16 } << 20;

    // The largest picture of the slide's own proportions that fits in box x box.
    void fitInto(const LoadedSlide& s, int box, int& width, int& height)
    {
        int w = 0, h = 0;
        slideSize(s, w, h);
        if (w >= h) {
            width = box;
            height = std::max(1, static_cast<int>(std::lround(static_cast<double>(box) * h / w)));
        } else {
            height = box;
            width = std::max(1, static_cast<int>(std::lround(static_cast<double>(box) * w / h)));
        }
    }

    slide::ColorRef paper(Background b)
    {
        return b == Background::White ? slide::rgb(255, 255, 255)
            : b == Background::None   ? slide::TRANSPARENT_BACKGROUND
                                      : slide::rgb(0, 0, 0);
    }

    // One slide of a library's sheet, drawn on the raster surface (the smooth
    // style makes whole PNG files only) and copied in with its top left corner
    // at (x, y).
    void drawCell(
        const LoadedSlide& s, int box, const ThumbnailLook& look, slide::RasterSurface& sheet, int x, int y)
    {
        int w = 0, h = 0;
        fitInto(s, box, w, h);
        slide::OffscreenWindow window(w, h, paper(look.choices.background));
        if (!window.surface().valid()) return;
        std::vector<std::uint8_t> copy;
        const std::vector<std::uint8_t>& bytes = rendererBytes(s, copy);
        window.InvalidateAndUpdate();
        slide::Surface* surface = window.GetSurface();
        slide::drawSlideBytes(
            *surface, &window, bytes.data(), bytes.size(), pictureLook(bytes, w, h, look.choices));
        window.ReleaseSurface(surface);
        const int left = x + (box - w) / 2, top = y + (box - h) / 2;
        for (int row = 0; row < h; ++row)
            for (int col = 0; col < w; ++col)
                sheet.SetPixel(left + col, top + row, window.surface().pixel(col, row));
    }

    bool writeLibrarySheet(
        const Input& in, int size, const ThumbnailLook& look, const std::string& outPath, std::string& why)
    {
        platform::File file = platform::File::open(in.path, platform::OpenMode::Read);
        if (!file.isOpen()) {
            why = readFailure(in.path);
            return false;
        }
        // A library the store refuses is refused here too, not drawn as
        // whatever a lenient reading finds (an empty sheet, exit 0).
        const DecodedLibrary d = decodeLibrary(file, DecodeMode::Strict);
        if (!d.ok()) {
            setStatus(libraryFaultStatus(d.fault), in.path.c_str(), nullptr);
            why = std::string(statusMessage()) + " (" + libraryFaultText(d.fault) + ")";
            return false;
        }
        const int count = static_cast<int>(
            std::min<std::size_t>(d.entries.size(), static_cast<std::size_t>(look.librarySlides)));
        if (count == 0) {
            setStatus(EmptyLibrary, in.path.c_str(), nullptr);
            why = statusMessage();
            return false;
        }
        const int side = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
        const int box = std::max(1, (size - look.gap * (side - 1)) / side);
        // Outside the 24 colour bits, so no drawn pixel becomes see-through.
        const slide::ColorRef between = slide::TRANSPARENT_BACKGROUND;
        slide::RasterSurface sheet(size, size, between);
        for (int i = 0; i < count; ++i) {
            const DecodedEntry& e = d.entries[static_cast<std::size_t>(i)];
            LoadedSlide s;
            s.label = formatSlideRef(in.path, slideNameText(e.name));
            if (e.offset >= 0 && e.offset < d.length)
                s.bytes = slide::readSlideAt(
                    file, e.offset, std::min(e.size, d.length - e.offset), THUMBNAIL_SLIDE_BYTES);
            s.order = slide::detectByteOrder(s.bytes.data(), s.bytes.size());
            drawCell(s, box, look, sheet, (i % side) * (box + look.gap), (i / side) * (box + look.gap));
        }
        std::string png;
        if (!slide::encodePng(sheet, png, &between) || !writePictureFile(outPath, png)) {
            why = writeFailure(outPath);
            return false;
        }
        return true;
    }

} // namespace

bool makeThumbnail(const std::string& input, int size, const ThumbnailLook& look, const std::string& outPath,
    std::string& why)
{
    resetStatus();
    // The header is enough to tell a library from a slide.
    Input in = findInput(input, SLIDE_CHECK_BYTES);
    if (in.kind == InputKind::Library && isLibraryFile(in.bytes))
        return writeLibrarySheet(in, size, look, outPath, why);
    LoadedSlide s;
    if (in.kind == InputKind::SlideFile && in.path == input && in.bytes.size() < SLIDE_CHECK_BYTES) {
        // The whole file is read already.
        s.label = input;
        s.bytes = std::move(in.bytes);
        s.order = slide::detectByteOrder(s.bytes.data(), s.bytes.size());
    } else if (loadSlideRef(input, s, THUMBNAIL_SLIDE_BYTES) != Ok) {
        why = failureText(lastStatus(), statusMessage(), statusCause(), input);
        return false;
    }
    int w = 0, h = 0;
    fitInto(s, size, w, h);
    PictureChoices choices = look.choices;
    Picture p = makePicture(s, w, h, choices, PictureFormat::Png);
    if (!p.made && choices.style == Style::Smooth) {
        // Without the smooth module a plain thumbnail is still better than none.
        choices.style = Style::Exact;
        p = makePicture(s, w, h, choices, PictureFormat::Png);
    }
    if (!p.made) {
        why = p.failure;
        return false;
    }
    // A file that is not a slide would make an empty picture that looks like
    // an empty slide; without a thumbnail the file manager shows its icon.
    if (p.header == InvalidSlide) {
        setStatus(InvalidSlide, nullptr, nullptr);
        why = s.label + ": " + statusMessage();
        return false;
    }
    if (!writePictureFile(outPath, p.encoded)) {
        why = writeFailure(outPath);
        return false;
    }
    return true;
}

void addThumbnailCommand(CommandSet& commands, Action& action)
{
    struct Options {
        std::string input;
        std::string output;
        std::string outputOption;
        int size = 256;
        ThumbnailLook look;
    };
    auto o = std::make_shared<Options>();
    CLI::App* c = commands.add("thumbnail",
        "Draw a PNG of at most SIZE pixels a side of a slide, or of the first slides of a library");
    if (!c) return;
    c->add_option("INPUT", o->input, "a slide file, LIBRARY(NAME), or a library")->required();
    c->add_option("OUTPUT", o->output, "the PNG file to write (or give it with -o)");
    c->add_option("-o,--output", o->outputOption, "the PNG file to write, as every command names its output");
    c->add_option("-s,--size", o->size, "the longer side in pixels")
        ->check(CLI::Range(1, 4096))
        ->capture_default_str();
    addPictureOptions(*c, o->look.choices);
    c->callback([&action, o] {
        action = [o] {
            if (!o->output.empty() && !o->outputOption.empty() && o->output != o->outputOption)
                return fail(
                    "two outputs, " + o->output + " and -o " + o->outputOption + ": give one", EXIT_USAGE);
            const std::string output = o->output.empty() ? o->outputOption : o->output;
            if (output.empty())
                return fail("OUTPUT is required: the PNG file to write, as OUTPUT or -o OUTPUT", EXIT_USAGE);
            std::string why;
            if (!makeThumbnail(o->input, o->size, o->look, output, why)) return fail(why);
            return EXIT_OK;
        };
    });
}

} // namespace qorvan::cli
