// qorvan render and qorvan convert: slides out as pictures, and as slide
// files in any header form and byte order.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <map>

#include "cli/commands.h"
#include "cli/common.h"
#include "cli/drawing.h"
#include "cli/parallel.h"
#include "cli/picture_options.h"
#include "cli/slide_source.h"
#include "platform/path.h"
#include "slide/raster_surface.h"
#include "store/library.h"
#include "store/status.h"

namespace qorvan::cli {

namespace {

struct RenderOptions {
    std::string ref;
    std::string out;
    std::string size;
    PictureChoices choices;
    bool all = false;
    std::string directory;
    std::string format = "png";
    int jobs = 1;
};

bool pictureFormatOf(const std::string& path, PictureFormat& format)
{
    std::string ext = platform::toLowerAscii(platform::splitPath(path).ext);
    if (ext == ".png") format = PictureFormat::Png;
    else if (ext == ".svg") format = PictureFormat::Svg;
    else return false;
    return true;
}

// A header fault does not stop the drawing; it is said afterwards, as the
// dialogs say it after the slide is shown.
void warnHeader(const std::string& label, int header)
{
    if (header == Ok) return;
    setStatus(header, nullptr, nullptr);
    std::fprintf(stderr, "qorvan: warning: %s: %s\n", label.c_str(), statusMessage());
}

int renderOne(const RenderOptions& o, int width, int height, bool sized)
{
    PictureFormat format;
    if (!pictureFormatOf(o.out, format))
        return fail("cannot tell the picture format of " + o.out + ": name it .png or .svg", EXIT_USAGE);
    LoadedSlide s;
    if (loadSlideRef(o.ref, s) != Ok) return failWithStatus();
    if (!sized) slideSize(s, width, height);
    SavedPicture p = savePicture(s, width, height, o.choices, format, o.out);
    if (!p.made) return fail(s.label + ": " + p.failure);
    if (!p.written) return fail("cannot write " + o.out);
    warnHeader(s.label, p.header);
    return EXIT_OK;
}

int renderAll(const RenderOptions& o, int width, int height, bool sized)
{
    PictureFormat format = o.format == "svg" ? PictureFormat::Svg : PictureFormat::Png;
    Input in = findInput(o.ref);
    if (in.kind != InputKind::Library || !isLibraryFile(in.bytes)) {
        // The store's reader names the fault: missing file, not a library.
        if (!readDirectory(o.ref.c_str()).empty()) setStatus(InvalidLibrary, nullptr, nullptr);
        return failWithStatus();
    }
    if (!makeDirectory(o.directory)) return fail("cannot create the folder " + o.directory);
    LibraryScan scan = scanLibrary(in.bytes);
    const std::size_t count = scan.entries.size();
    // File names are given before any drawing starts, so they do not depend
    // on which slide finishes first.
    std::vector<std::string> outs(count);
    std::map<std::string, int> used; // two names may make the same file name
    for (std::size_t i = 0; i < count; ++i) {
        std::string base = safeFileName(scan.entries[i].name);
        int n = used[platform::toUpperAscii(base)]++;
        if (n) base += "~" + std::to_string(n);
        outs[i] = joinPath(o.directory, base + (format == PictureFormat::Svg ? ".svg" : ".png"));
    }
    struct Outcome {
        std::string label;
        int header = 0;
        std::string failure;
    };
    std::vector<Outcome> outcomes(count);
    Progress progress(count);
    auto work = [&](std::size_t i) {
        const ScannedEntry& e = scan.entries[i];
        LoadedSlide s = sliceSlide(in.bytes, e.offset, e.size, in.path + "(" + e.name + ")");
        int w = width, h = height;
        if (!sized) slideSize(s, w, h);
        SavedPicture p = savePicture(s, w, h, o.choices, format, outs[i]);
        Outcome& out = outcomes[i];
        out.label = s.label;
        out.header = p.header;
        if (!p.made) out.failure = s.label + ": " + p.failure;
        else if (!p.written) out.failure = "cannot write " + outs[i];
    };
    int status = EXIT_OK;
    auto finish = [&](std::size_t i) {
        if (!outcomes[i].failure.empty()) {
            status = fail(outcomes[i].failure);
            return false;
        }
        warnHeader(outcomes[i].label, outcomes[i].header);
        progress.step(i + 1, scan.entries[i].name);
        return true;
    };
    forEachItem(count, o.jobs, work, finish);
    return status;
}

int runRender(const RenderOptions& o)
{
    resetStatus();
    int width = 0, height = 0;
    bool sized = !o.size.empty();
    if (sized && !parseSize(o.size, width, height))
        return fail("--size wants WIDTHxHEIGHT in pixels, such as 640x480", EXIT_USAGE);
    if (sized && !slide::RasterSurface::sizeAllowed(width, height))
        return fail("--size " + o.size + " is larger than a picture may be (16384 a side, 67108864 pixels)", EXIT_USAGE);
    if (o.all) {
        if (o.directory.empty()) return fail("render --all wants -d DIR, the folder for the pictures", EXIT_USAGE);
        return renderAll(o, width, height, sized);
    }
    if (o.out.empty()) return fail("render wants -o OUT, a .png or .svg file (or --all -d DIR)", EXIT_USAGE);
    return renderOne(o, width, height, sized);
}

struct ConvertOptions {
    std::string ref;
    std::string out;
    std::string form = "new";
    std::string byteOrder = "little";
};

int runConvert(const ConvertOptions& o)
{
    resetStatus();
    LoadedSlide s;
    if (loadSlideRef(o.ref, s) != Ok) return failWithStatus();
    const slide::SlideForm form = o.form == "old" ? slide::SlideForm::Old : slide::SlideForm::New;
    const slide::ByteOrder order = o.byteOrder == "big" ? slide::ByteOrder::Big : slide::ByteOrder::Little;
    std::vector<std::uint8_t> bytes = slide::transcodeSlide(s.bytes.data(), s.bytes.size(), s.order.order, order, form);
    if (bytes.empty()) return fail(s.label + ": the slide's header is cut short; there is nothing to convert");
    if (!writeWholeFile(o.out, bytes)) return fail("cannot write " + o.out);
    return EXIT_OK;
}

} // namespace

void addRenderCommands(CLI::App& app, Action& action)
{
    auto o = std::make_shared<RenderOptions>();
    CLI::App* c = app.add_subcommand("render", "Draw a slide (or every slide of a library) to PNG or SVG: by default as the dialogs draw it");
    c->add_option("REF", o->ref, "a slide file (.SLD optional), LIBRARY(NAME), or with --all a library")->required();
    c->add_option("-o,--output", o->out, "the picture file; its extension (.png or .svg) picks the format");
    c->add_option("--size", o->size, "picture size WIDTHxHEIGHT (default: the slide's own, xDots+1 by yDots+1)");
    addPictureOptions(*c, o->choices);
    c->add_flag("--all", o->all, "draw every slide of the library REF into -d DIR, one file per slide");
    c->add_option("-d,--directory", o->directory, "with --all: the folder for the pictures (created when missing)");
    c->add_option("--format", o->format, "with --all: png or svg")
        ->check(CLI::IsMember({"png", "svg"}))
        ->capture_default_str();
    addJobsOption(*c, o->jobs);
    c->callback([&action, o] { action = [o] { return runRender(*o); }; });

    auto v = std::make_shared<ConvertOptions>();
    c = app.add_subcommand("convert", "Write a copy of a slide in either header form and either byte order (default: new form, little-endian, as the module reads)");
    c->add_option("SLIDE", v->ref, "a slide file (.SLD optional) or LIBRARY(NAME)")->required();
    c->add_option("-o,--output", v->out, "the slide file to write")->required();
    c->add_option("--form", v->form, "new (31-byte header with a byte-order word) or old (34-byte header, level 1)")
        ->check(CLI::IsMember({"new", "old"}))
        ->capture_default_str();
    c->add_option("--byte-order", v->byteOrder, "little (low byte first, as the module reads) or big")
        ->check(CLI::IsMember({"little", "big"}))
        ->capture_default_str();
    c->callback([&action, v] { action = [v] { return runConvert(*v); }; });
}

} // namespace qorvan::cli
