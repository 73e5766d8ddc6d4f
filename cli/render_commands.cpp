// qorvan render and qorvan convert: slides out as pictures, and as slide
// files in any header form and byte order.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <functional>
#include <map>

#include "cli/commands.h"
#include "cli/common.h"
#include "cli/picture_options.h"
#include "platform/parallel.h"
#include "platform/path.h"
#include "slide/picture_output.h"
#include "slide/raster_surface.h"
#include "slide/slide_source.h"
#include "store/edit.h"
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
        std::string format; // with --all: png (the default), svg or dxf
        int jobs = 1;
    };

    // The formats render writes, by the name --format takes and the file
    // extension that picks them.
    struct FormatName {
        const char* name;
        PictureFormat format;
    };
    constexpr FormatName PICTURE_FORMATS[]
        = { { "png", PictureFormat::Png }, { "svg", PictureFormat::Svg }, { "dxf", PictureFormat::Dxf } };

    std::string extensionOf(PictureFormat format)
    {
        for (const FormatName& f : PICTURE_FORMATS)
            if (f.format == format) return std::string(".") + f.name;
        return {};
    }

    bool pictureFormatOf(const std::string& path, PictureFormat& format)
    {
        const std::string ext = platform::toLowerAscii(platform::splitPath(path).ext);
        for (const FormatName& f : PICTURE_FORMATS)
            if (ext == extensionOf(f.format)) {
                format = f.format;
                return true;
            }
        return false;
    }

    bool formatNamed(const std::string& name, PictureFormat& format)
    {
        for (const FormatName& f : PICTURE_FORMATS)
            if (name == f.name) {
                format = f.format;
                return true;
            }
        return false;
    }

    // A header fault does not stop the drawing; it is said afterwards, as the
    // dialogs say it after the slide is shown.
    void warnHeader(const std::string& label, StatusCode header)
    {
        if (header == Ok) return;
        setStatus(header, nullptr, nullptr);
        std::fprintf(stderr, "qorvan: warning: %s: %s\n", shown(label, stderr).c_str(), statusMessage());
    }

    // Drawn all the same, as the tool reads either order; the module would not.
    void warnBigEndian(const LoadedSlide& s)
    {
        if (s.order.order != slide::ByteOrder::Big) return;
        std::fprintf(stderr,
            "qorvan: warning: %s: written high byte first, which the module cannot read (qorvan convert "
            "makes a copy it reads)\n",
            shown(s.label, stderr).c_str());
    }

    int renderOne(const RenderOptions& o, int width, int height, bool sized)
    {
        PictureFormat format;
        if (!pictureFormatOf(o.out, format))
            return fail(
                "cannot tell the picture format of " + o.out + ": name it .png, .svg or .dxf", EXIT_USAGE);
        LoadedSlide s;
        if (loadSlideRef(o.ref, s) != Ok) return failWithStatus(o.ref);
        if (int refused = refuseLibraryAsSlide("render", s)) return refused;
        if (!sized) slideSize(s, width, height);
        SavedPicture p = savePicture(s, width, height, o.choices, format, o.out);
        if (!p.made) return fail(s.label + ": " + p.failure);
        if (!p.written) return fail(writeFailure(o.out));
        warnHeader(s.label, p.header);
        warnBigEndian(s);
        return EXIT_OK;
    }

    // What became of one slide of a library worked through with --all.
    struct Outcome {
        std::string label;
        StatusCode header = Ok; // the header check's result, said as a warning
        std::string failure; // stops the work
    };

    // What one saved picture tells the batch: a slide that could not be drawn
    // names itself, a file that could not be written names the file.
    Outcome outcomeOf(const LoadedSlide& s, const SavedPicture& p, const std::string& path)
    {
        Outcome out { s.label, p.header, {} };
        if (!p.made)
            out.failure = s.label + ": " + p.failure;
        else if (!p.written)
            out.failure = writeFailure(path);
        return out;
    }

    // Works through every slide of the library ref into directory, one file
    // per slide, on up to jobs threads: make(i, slide, path) writes the slide's
    // file. File names are settled before any work starts, so they do not depend
    // on which slide finishes first; what the user sees comes in entry order.
    int forEverySlide(const std::string& ref, const std::string& directory, const char* extension, int jobs,
        const std::function<Outcome(const LoadedSlide&, const std::string&)>& make)
    {
        Input in = findInput(ref);
        if (in.kind != InputKind::Library || !isLibraryFile(in.bytes)) {
            // The store's reader names the fault: missing file, not a library.
            if (!readDirectory(ref.c_str()).empty()) setStatus(InvalidLibrary, nullptr, nullptr);
            return failWithStatus(ref, libraryNativeFor(ref.c_str()));
        }
        if (!makeDirectory(directory)) return fail("cannot create the folder " + directory);
        LibraryScan scan = scanLibrary(in.bytes);
        const std::size_t count = scan.entries.size();
        std::vector<std::string> outs(count);
        std::vector<std::string> stored(count);
        for (std::size_t i = 0; i < count; ++i)
            stored[i] = scan.entries[i].name;
        const std::vector<std::string> files = distinctFileNames(stored);
        for (std::size_t i = 0; i < count; ++i)
            outs[i] = joinPath(directory, files[i] + extension);
        std::vector<Outcome> outcomes(count);
        Progress progress(count);
        auto work = [&](std::size_t i) {
            const ScannedEntry& e = scan.entries[i];
            outcomes[i]
                = make(sliceSlide(in.bytes, e.offset, e.size, formatSlideRef(in.path, e.name)), outs[i]);
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
        forEachItem(count, jobs, work, finish);
        return status;
    }

    int renderAll(const RenderOptions& o, int width, int height, bool sized)
    {
        PictureFormat format = PictureFormat::Png;
        formatNamed(o.format, format);
        return forEverySlide(o.ref, o.directory, extensionOf(format).c_str(), o.jobs,
            [&](const LoadedSlide& s, const std::string& path) {
                int w = width, h = height;
                if (!sized) slideSize(s, w, h);
                return outcomeOf(s, savePicture(s, w, h, o.choices, format, path), path);
            });
    }

    int runRender(const RenderOptions& o)
    {
        resetStatus();
        int width = 0, height = 0;
        bool sized = !o.size.empty();
        const std::string tooLarge
            = "--size " + o.size + " is larger than a picture may be (16384 a side, 67108864 pixels)";
        if (sized && !parseSize(o.size, width, height)) {
            // Digits too many to read are still a size: the limit is the answer.
            const std::size_t x = o.size.find_first_of("xX");
            const bool digits = x != std::string::npos && x > 0 && x + 1 < o.size.size()
                && o.size.find_first_not_of("0123456789", 0) == x
                && o.size.find_first_not_of("0123456789", x + 1) == std::string::npos;
            if (digits && o.size.find_first_not_of('0') != x
                && o.size.find_first_not_of('0', x + 1) != std::string::npos)
                return fail(tooLarge, EXIT_USAGE);
            return fail("--size wants WIDTHxHEIGHT in pixels, such as 640x480", EXIT_USAGE);
        }
        if (sized && !slide::RasterSurface::sizeAllowed(width, height)) return fail(tooLarge, EXIT_USAGE);
        // A single picture's format is its file's extension; a --format that
        // would be ignored is more likely a missing --all.
        if (!o.all && !o.format.empty())
            return fail("--format goes with --all; a single picture takes its format from the extension of "
                        "-o (.png, .svg or .dxf)",
                EXIT_USAGE);
        if (o.all) {
            if (o.directory.empty())
                return fail("render --all wants -d DIR, the folder for the pictures", EXIT_USAGE);
            return renderAll(o, width, height, sized);
        }
        if (o.out.empty())
            return fail("render wants -o OUT, a .png, .svg or .dxf file (or --all -d DIR)", EXIT_USAGE);
        return renderOne(o, width, height, sized);
    }

    struct ConvertOptions {
        std::string ref;
        std::string out;
        std::string form = "new";
        std::string byteOrder = "little";
        bool all = false;
        std::string directory;
        std::string format = "sld"; // with --all: sld or dxf
        int jobs = 1;
    };

    // The slide as a DXF drawing at path: what render writes for a .dxf.
    Outcome writeDxf(const LoadedSlide& s, const std::string& path)
    {
        return outcomeOf(s, savePicture(s, 0, 0, PictureChoices {}, PictureFormat::Dxf, path), path);
    }

    // The slide's bytes in the chosen form, or why there are none.
    bool convertSlide(
        const ConvertOptions& o, const LoadedSlide& s, std::vector<std::uint8_t>& bytes, std::string& why)
    {
        const slide::SlideForm form = o.form == "old" ? slide::SlideForm::Old : slide::SlideForm::New;
        const slide::ByteOrder order
            = o.byteOrder == "big" ? slide::ByteOrder::Big : slide::ByteOrder::Little;
        bytes = slide::transcodeSlide(s.bytes.data(), s.bytes.size(), s.order.order, order, form);
        if (bytes.empty()) why = s.label + ": the slide's header is cut short; there is nothing to convert";
        return !bytes.empty();
    }

    int runConvert(const ConvertOptions& o)
    {
        resetStatus();
        if (o.all) {
            if (o.directory.empty())
                return fail("convert --all wants -d DIR, the folder for the slides", EXIT_USAGE);
            if (o.format == "dxf") return forEverySlide(o.ref, o.directory, ".dxf", o.jobs, writeDxf);
            return forEverySlide(
                o.ref, o.directory, ".sld", o.jobs, [&](const LoadedSlide& s, const std::string& path) {
                    Outcome out { s.label, Ok, {} };
                    std::vector<std::uint8_t> bytes;
                    if (!convertSlide(o, s, bytes, out.failure)) return out;
                    if (!writeWholeFile(path, bytes)) out.failure = writeFailure(path);
                    return out;
                });
        }
        if (o.out.empty())
            return fail("convert wants -o OUT, the slide file to write (or --all -d DIR)", EXIT_USAGE);
        LoadedSlide s;
        if (loadSlideRef(o.ref, s) != Ok) return failWithStatus(o.ref);
        if (int refused = refuseLibraryAsSlide("convert", s)) return refused;
        if (platform::toLowerAscii(platform::splitPath(o.out).ext) == ".dxf") {
            const Outcome out = writeDxf(s, o.out);
            if (!out.failure.empty()) return fail(out.failure);
            warnHeader(out.label, out.header);
            return EXIT_OK;
        }
        std::vector<std::uint8_t> bytes;
        std::string why;
        if (!convertSlide(o, s, bytes, why)) return fail(why);
        if (!writeWholeFile(o.out, bytes)) return fail(writeFailure(o.out));
        return EXIT_OK;
    }

} // namespace

void addRenderCommands(CommandSet& commands, Action& action)
{
    auto o = std::make_shared<RenderOptions>();
    if (CLI::App* c = commands.add("render",
            "Draw a slide (or every slide of a library) to PNG or SVG, by default as the dialogs draw it, or "
            "write it as a DXF drawing")) {
        c->add_option("REF", o->ref, "a slide file (.SLD optional), LIBRARY(NAME), or with --all a library")
            ->required();
        c->add_option("-o,--output", o->out,
            "the picture file; its extension (.png, .svg or .dxf) picks the format; a DXF is in the slide's "
            "own dots, so --size and the picture options do not change it");
        c->add_option(
            "--size", o->size, "picture size WIDTHxHEIGHT (default: the slide's own, xDots+1 by yDots+1)");
        addPictureOptions(*c, o->choices);
        c->add_flag("--all", o->all, "draw every slide of the library REF into -d DIR, one file per slide");
        c->add_option(
            "-d,--directory", o->directory, "with --all: the folder for the pictures (created when missing)");
        c->add_option("--format", o->format, "with --all: png (the default), svg or dxf")
            ->check(CLI::IsMember({ "png", "svg", "dxf" }));
        addJobsOption(*c, o->jobs);
        c->callback([&action, o] { action = [o] { return runRender(*o); }; });
    }

    auto v = std::make_shared<ConvertOptions>();
    if (CLI::App* c = commands.add("convert",
            "Write a copy of a slide in either header form and either byte order (default: new form, "
            "little-endian, as the module reads)")) {
        c->add_option("SLIDE", v->ref, "a slide file (.SLD optional), LIBRARY(NAME), or with --all a library")
            ->required();
        c->add_option("-o,--output", v->out,
            "the slide file to write; one named .dxf gets the slide as a DXF drawing, as render writes it");
        c->add_option("--form", v->form,
             "new (31-byte header with a byte-order word) or old (34-byte header, level 1)")
            ->check(CLI::IsMember({ "new", "old" }))
            ->capture_default_str();
        c->add_option("--byte-order", v->byteOrder, "little (low byte first, as the module reads) or big")
            ->check(CLI::IsMember({ "little", "big" }))
            ->capture_default_str();
        c->add_flag("--all", v->all, "write every slide of the library SLIDE into -d DIR, as NAME.sld");
        c->add_option(
             "--format", v->format, "with --all: sld (the default) or dxf (NAME.dxf, as render writes it)")
            ->check(CLI::IsMember({ "sld", "dxf" }))
            ->capture_default_str();
        c->add_option(
            "-d,--directory", v->directory, "with --all: the folder for the slides (created when missing)");
        addJobsOption(*c, v->jobs);
        c->callback([&action, v] { action = [v] { return runConvert(*v); }; });
    }
}

} // namespace qorvan::cli
