// qorvan dump, build, diff and salvage: the inside of slides and libraries
// as text and back, differences that version control can show, and the
// rescue of damaged libraries. The work is in inspect/; this is arguments
// and output.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <iterator>
#include <sys/stat.h>

#include "cli/commands.h"
#include "cli/common.h"
#include "cli/slide_source.h"
#include "inspect/text_form.h"
#include "store/status.h"

namespace qorvan::cli {

namespace {

    // What a file argument holds, read whole. The kind can be forced for a
    // library whose header is too damaged to say so and whose name does not.
    struct Loaded {
        std::string label;
        std::vector<std::uint8_t> bytes;
        bool library = false;
    };

    enum class Force { None, Slide, Library };

    bool loadFile(const std::string& argument, Force force, Loaded& out)
    {
        out.label = argument;
        if (argument.find('(') != std::string::npos && force != Force::Library) {
            LoadedSlide s;
            if (loadSlideRef(argument, s) != Ok) return failWithStatus() && false;
            out.bytes = std::move(s.bytes);
            out.library = false;
            return true;
        }
        Input in = findInput(argument);
        if (in.kind == InputKind::Missing) {
            fail("cannot open " + argument + " (tried it as written, with .SLD and with .slb)");
            return false;
        }
        out.label = in.path;
        out.bytes = std::move(in.bytes);
        out.library = force == Force::None ? in.kind == InputKind::Library : force == Force::Library;
        return true;
    }

    struct DumpOptions {
        std::string file, out;
        bool noOffsets = false, slide = false, library = false;
    };

    int runDump(const DumpOptions& o)
    {
        resetStatus();
        Loaded in;
        if (!loadFile(o.file, o.library ? Force::Library : o.slide ? Force::Slide : Force::None, in))
            return EXIT_FAILED;
        const std::string text = in.library
            ? inspect::dumpLibrary(in.bytes.data(), in.bytes.size(), !o.noOffsets)
            : inspect::dumpSlide(in.bytes.data(), in.bytes.size(), !o.noOffsets);
        if (o.out.empty() || o.out == "-") {
            std::fwrite(text.data(), 1, text.size(), stdout);
            return std::fflush(stdout) == 0 ? EXIT_OK : fail("cannot write the text to standard output");
        }
        return writeWholeFile(o.out, text) ? EXIT_OK : fail("cannot write " + o.out);
    }

    struct BuildOptions {
        std::string text, out;
    };

    int runBuild(const BuildOptions& o)
    {
        resetStatus();
        std::string text;
        if (o.text == "-") {
            text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        } else {
            std::vector<std::uint8_t> bytes;
            if (!readWholeFile(o.text, bytes)) return fail("cannot read " + o.text);
            text.assign(bytes.begin(), bytes.end());
        }
        inspect::BuildResult r = inspect::buildFromText(text);
        if (!r.ok) {
            const std::string where = (o.text == "-" ? std::string("<stdin>") : o.text) + ":"
                + std::to_string(r.error.line) + ":" + std::to_string(r.error.column);
            return fail(where + ": " + r.error.message);
        }
        return writeWholeFile(o.out, r.bytes) ? EXIT_OK : fail("cannot write " + o.out);
    }

} // namespace

void addInspectCommands(CLI::App& app, Action& action)
{
    auto d = std::make_shared<DumpOptions>();
    CLI::App* c
        = app.add_subcommand("dump", "Print a slide or a library as text, one line per field and record");
    c->add_option("FILE", d->file, "a slide file, a library, or LIBRARY(NAME)")->required();
    c->add_option("-o,--output", d->out, "write the text here instead of standard output");
    c->add_flag(
        "--no-offsets", d->noOffsets, "leave byte offsets out of the comments (for version-control diffs)");
    auto* asSlide = c->add_flag("--slide", d->slide, "read FILE as a slide whatever its name and header say");
    c->add_flag("--library", d->library, "read FILE as a library whatever its name and header say")
        ->excludes(asSlide);
    c->callback([&action, d] { action = [d] { return runDump(*d); }; });

    auto b = std::make_shared<BuildOptions>();
    c = app.add_subcommand(
        "build", "Turn the text that dump prints (edited or not) back into a slide or a library");
    c->add_option("TEXT", b->text, "the text file, or - for standard input")->required();
    c->add_option("-o,--output", b->out, "the slide or library file to write")->required();
    c->callback([&action, b] { action = [b] { return runBuild(*b); }; });
}

} // namespace qorvan::cli
