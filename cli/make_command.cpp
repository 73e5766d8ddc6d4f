// make: drawings (DXF, SVG) become slides, one per input, into a slide file or
// a slide library.
#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <unistd.h>

#include "cli/commands.h"
#include "cli/common.h"
#include "import/importers.h"
#include "import/to_slide.h"
#include "platform/path.h"
#include "platform/resolve.h"
#include "store/edit.h"
#include "store/library.h"
#include "store/status.h"

namespace qorvan::cli {

namespace {

    struct MakeOptions {
        std::vector<std::string> inputs;
        std::string output;
        std::string size;
        int margin = import::DEFAULT_MARGIN_DOTS;
        std::vector<std::string> layers;
        std::vector<std::string> excludeLayers;
        double strokeWidth = import::Options {}.strokeWidthPixels;
        std::string frame = "drawing";
    };

    bool endsWithSlb(const std::string& path)
    {
        return path.size() > 4 && platform::toUpperAscii(path.substr(path.size() - 4)) == ".SLB";
    }

    // The input's file name without its last extension.
    std::string stemOf(const std::string& path)
    {
        const std::size_t slash = path.find_last_of('/');
        std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
        const std::size_t dot = base.find_last_of('.');
        if (dot != std::string::npos && dot > 0) base.resize(dot);
        return base;
    }

    // "WxH", or one number for the longer side with the other following the
    // drawing.
    bool parseMakeSize(const std::string& text, import::SlideSize& size)
    {
        if (text.empty()) return true;
        int w = 0, h = 0;
        if (parseSize(text, w, h)) {
            if (w > 32767 || h > 32767) return false;
            size.width = w;
            size.height = h;
            return true;
        }
        char* end = nullptr;
        const long n = std::strtol(text.c_str(), &end, 10);
        if (*end != '\0' || n < 1 || n > 32767) return false;
        size.longer = static_cast<int>(n);
        return true;
    }

    int runMake(const MakeOptions& o)
    {
        import::SlideSize size;
        size.margin = o.margin;
        if (!parseMakeSize(o.size, size))
            return fail(
                "--size wants WxH (each side 1..32767) or one number for the longer side (1..32767), not \""
                    + o.size + "\"",
                EXIT_USAGE);
        // The option's range check lets NaN through: no comparison holds.
        if (!std::isfinite(o.strokeWidth))
            return fail("--stroke-width wants a number from 0 to 10000, not nan", EXIT_USAGE);
        const bool library = endsWithSlb(o.output);
        // A slide written into out.png is a picture no viewer opens and a
        // slide no one finds; the name says what the user wants.
        if (const std::string ext = platform::toLowerAscii(platform::splitPath(o.output).ext);
            !library && !ext.empty() && ext != ".sld")
            return fail(o.output + ": make writes slides, and the name says " + ext
                    + ": name it .sld (a slide) or .slb (a library); qorvan render draws a slide as .png or "
                      ".svg",
                EXIT_USAGE);
        if (!library && o.inputs.size() > 1)
            return fail(
                "several inputs make several slides: give a library (.slb) as the output", EXIT_USAGE);

        import::Options options;
        options.layers = o.layers;
        options.excludeLayers = o.excludeLayers;
        options.strokeWidthPixels = o.strokeWidth;
        options.frameLimits = o.frame == "limits";

        // Names first, so that a duplicate refuses the whole run before any slide is made.
        std::vector<std::string> names;
        if (library) {
            std::set<std::string> taken;
            resetStatus();
            for (const SlideName& n : listSlides(o.output.c_str()))
                taken.insert(nameText(n.bytes, SLIDE_NAME_SIZE));
            for (const std::string& in : o.inputs) {
                std::string name = platform::toUpperAscii(stemOf(in)).substr(0, SLIDE_NAME_SIZE - 1);
                if (!taken.insert(name).second)
                    return fail(o.output + ": a slide named " + name + " is there already (from " + in + ")");
                names.push_back(name);
            }
        }

        std::string tmpDir;
        if (library) {
            const char* base = std::getenv("TMPDIR");
            std::string pattern = std::string(base && *base ? base : "/tmp") + "/qorvan-make-XXXXXX";
            if (!mkdtemp(pattern.data())) return fail("cannot make a temporary folder in " + pattern);
            tmpDir = pattern;
        }
        std::vector<std::string> made;
        auto cleanUp = [&] {
            for (const std::string& f : made)
                std::remove(f.c_str());
            if (!tmpDir.empty()) rmdir(tmpDir.c_str());
        };

        Progress progress(o.inputs.size());
        std::size_t done = 0;
        for (const std::string& in : o.inputs) {
            // The drawing readers open their files themselves.
            platform::noteInput(in);
            import::OpenResult opened = import::openDrawing(in, options);
            if (!opened.source) {
                cleanUp();
                return fail(opened.error);
            }
            std::vector<std::uint8_t> bytes;
            std::vector<std::string> warnings;
            std::string error;
            if (!import::makeSlide(*opened.source, size, bytes, warnings, error)) {
                cleanUp();
                return fail(in + ": " + error,
                    error.find("dots does not fit") != std::string::npos ? EXIT_USAGE : EXIT_FAILED);
            }
            // Every warning names its input, so a run over many says which one.
            const std::string prefix = in + ": ";
            for (const std::string& w : warnings)
                std::fprintf(stderr, "qorvan: warning: %s%s\n", w.rfind(prefix, 0) == 0 ? "" : prefix.c_str(),
                    w.c_str());
            const std::string target = library ? joinPath(tmpDir, stemOf(in) + ".sld") : o.output;
            // Names are found without regard to case: PLAN.SLD replaces plan.sld.
            const std::string replaced = library ? std::string() : platform::resolveExisting(target);
            const bool replacing = !library && platform::pathExists(target);
            if (!writeWholeFile(target, bytes)) {
                cleanUp();
                return fail(writeFailure(target));
            }
            if (library) made.push_back(target);
            if (replacing)
                std::fprintf(stderr, "qorvan make: replaced %s\n", shown(replaced, stderr).c_str());
            progress.step(++done, in);
        }
        if (library) {
            // A new library, or the slides appended to the one there, in one
            // rewrite: if any slide cannot go in, the library stays as it was.
            resetStatus();
            const BatchResult r = appendSlides(o.output.c_str(), made, BatchOptions {});
            cleanUp();
            if (r.code != Ok) {
                for (const BatchProblem& p : r.problems) {
                    // The store saw the temporary slide; the user gave the drawing.
                    std::string item = p.item;
                    for (std::size_t i = 0; i < made.size(); ++i)
                        if (made[i] == p.item) item = o.inputs[i];
                    std::fprintf(stderr, "qorvan: %s: %s\n", item.c_str(), p.message.c_str());
                }
                return fail(o.output + ": unchanged: " + statusMessage());
            }
        }
        return EXIT_OK;
    }

} // namespace

void addMakeCommand(CommandSet& commands, Action& action)
{
    auto o = std::make_shared<MakeOptions>();
    CLI::App* cmd = commands.add("make",
        "Make slides from drawings (.dxf, .svg): a slide file for one input, or one slide per input in a "
        "library "
        "(.slb)");
    if (!cmd) return;
    cmd->add_option("inputs", o->inputs, "Drawings to make slides of")->required();
    cmd->add_option(
           "-o,--output", o->output, "The slide file, or a library (.slb) the slides are appended to")
        ->required();
    cmd->add_option("--size", o->size,
        "The slide's extents WxH (xDots x yDots), or one number for the longer side; default: 1000 on the "
        "drawing's longer side, the other side following its aspect");
    cmd->add_option("--margin", o->margin, "Dots left clear on every side (default 8)")
        ->check(CLI::Range(0, 16000));
    // One name per option, so that the inputs after it stay inputs.
    cmd->add_option(
           "--layer", o->layers, "Draw only this layer (repeatable; as if every other layer were frozen)")
        ->allow_extra_args(false);
    cmd->add_option("--exclude-layer", o->excludeLayers, "Leave this layer out (repeatable)")
        ->allow_extra_args(false);
    cmd->add_option("--stroke-width", o->strokeWidth,
           "SVG: strokes at most this many dots wide are drawn as lines, wider ones as filled areas (default "
           "3)")
        ->check(CLI::Range(0.0, 10000.0));
    cmd->add_option("--frame", o->frame,
           "DXF: drawing (what the drawing draws fills the slide) or limits (the drawing's limits, "
           "$LIMMIN to $LIMMAX, fill it whole, as the sheet; with --size WxH --margin 0 a DXF written by "
           "render gives its slide back)")
        ->check(CLI::IsMember({ "drawing", "limits" }))
        ->capture_default_str();
    cmd->callback([o, &action] { action = [o] { return runMake(*o); }; });
}

} // namespace qorvan::cli
