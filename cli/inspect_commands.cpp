// qorvan dump, build, diff and salvage: the inside of slides and libraries
// as text and back, differences that version control can show, and the
// rescue of damaged libraries. The work is in inspect/; this is arguments
// and output.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <iterator>
#include <map>
#include <sys/stat.h>

#include "cli/commands.h"
#include "cli/common.h"
#include "inspect/diff.h"
#include "inspect/library_layout.h"
#include "inspect/salvage.h"
#include "inspect/text_form.h"
#include "platform/path.h"
#include "platform/resolve.h"
#include "platform/stdout.h"
#include "slide/slide_source.h"
#include "store/library.h"
#include "store/limits.h"
#include "store/slide_ref.h"
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
        if (force != Force::Library && !existsAsWritten(argument) && parseSlideRef(argument).library) {
            LoadedSlide s;
            if (loadSlideRef(argument, s) != Ok) return failWithStatus(argument) && false;
            out.bytes = std::move(s.bytes);
            out.library = false;
            return true;
        }
        Input in = findInput(argument);
        if (in.kind == InputKind::Missing) {
            // A name that is there but cannot be read says why, not what else was tried.
            fail(missingText(argument));
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
        return writeWholeFile(o.out, text) ? EXIT_OK : fail(writeFailure(o.out));
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
            if (!readWholeFile(o.text, bytes)) return fail(readFailure(o.text));
            text.assign(bytes.begin(), bytes.end());
        }
        inspect::BuildResult r = inspect::buildFromText(text);
        if (!r.ok) {
            const std::string where = (o.text == "-" ? std::string("<stdin>") : o.text) + ":"
                + std::to_string(r.error.line) + ":" + std::to_string(r.error.column);
            return fail(where + ": " + r.error.message);
        }
        return writeWholeFile(o.out, r.bytes) ? EXIT_OK : fail(writeFailure(o.out));
    }

    struct DiffOptions {
        std::string a, b;
        bool slide = false, library = false;
    };

    // Exit statuses as diff's: same, different, trouble.
    constexpr int DIFF_SAME = 0;
    constexpr int DIFF_DIFFERENT = 1;
    constexpr int DIFF_TROUBLE = 2;

    int runDiff(const DiffOptions& o)
    {
        resetStatus();
        // A report that cannot be written is trouble, not "different".
        platform::setOutputFailureStatus(DIFF_TROUBLE);
        const Force force = o.library ? Force::Library : o.slide ? Force::Slide : Force::None;
        Loaded a, b;
        if (!loadFile(o.a, force, a) || !loadFile(o.b, force, b)) return DIFF_TROUBLE;
        if (a.library != b.library)
            return fail(a.label + " is a " + (a.library ? "library" : "slide") + " and " + b.label + " a "
                    + (b.library ? "library" : "slide") + " (--slide or --library compares them as one kind)",
                DIFF_TROUBLE);
        inspect::DiffResult r
            = a.library ? inspect::diffLibraries(a.bytes, b.bytes) : inspect::diffSlides(a.bytes, b.bytes);
        if (!r.differ) return DIFF_SAME;
        std::string out = "--- " + a.label + "\n+++ " + b.label + "\n" + r.report;
        std::fwrite(out.data(), 1, out.size(), stdout);
        return DIFF_DIFFERENT;
    }

    struct SalvageOptions {
        std::string damaged, out, directory;
    };

    // The same file by device and inode, so no spelling of a path, link or
    // letter case makes salvage write over what it reads.
    bool sameFile(const std::string& a, const std::string& b)
    {
        struct stat sa {
        }, sb {};
        return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev
            && sa.st_ino == sb.st_ino;
    }

    int runSalvage(const SalvageOptions& o)
    {
        resetStatus();
        if (!o.out.empty() && !o.directory.empty())
            return fail("salvage writes either -o LIBRARY or -d DIR, not both", EXIT_USAGE);
        std::vector<std::uint8_t> bytes;
        if (!readWholeFile(o.damaged, bytes)) return fail(readFailure(o.damaged));
        inspect::SalvageReport report = inspect::salvageLibrary(bytes.data(), bytes.size());

        for (const inspect::RecoveredSlide& s : report.slides) {
            std::printf("%-31s bytes %zu..%zu (%zu bytes)%s%s%s\n", shown(s.name, stdout).c_str(), s.from,
                s.to ? s.to - 1 : 0, s.to - s.from, s.nameFromDirectory ? "" : ", no name survives",
                s.note.empty() ? "" : ": ", s.note.c_str());
        }
        for (const std::string& n : report.notes)
            std::printf("note: %s\n", n.c_str());
        // The summary on standard error follows the list, also through a pipe.
        std::fflush(stdout);
        std::size_t whole = 0;
        for (const auto& s : report.slides)
            whole += s.state == inspect::RecoveredState::Whole;
        std::fprintf(stderr,
            "qorvan: %zu slides recovered from %s (%zu as found, %zu repaired or cut short); %zu named by "
            "the directory\n",
            report.slides.size(), o.damaged.c_str(), whole, report.slides.size() - whole,
            report.namedFromDirectory);
        if (report.slides.empty()) return fail("no slide found in " + o.damaged);

        if (!o.out.empty()) {
            if (sameFile(o.out, o.damaged))
                return fail(o.out + " is the damaged file itself; salvage never writes over its input");
            // A library the store would refuse to read is no rescue: say so
            // before writing anything, and point at the loose files.
            std::uint64_t total = EMPTY_LIBRARY_SIZE;
            for (const auto& s : report.slides)
                total += DIRECTORY_ENTRY_SIZE + s.bytes.size();
            if (report.slides.size() > MAX_LIBRARY_SLIDES)
                return fail(std::to_string(report.slides.size())
                    + " slides recovered, more than a library holds (" + std::to_string(MAX_LIBRARY_SLIDES)
                    + "): " + o.out + " not written; -d DIR writes them as files");
            if (total > static_cast<std::uint64_t>(MAX_LIBRARY_BYTES))
                return fail("the recovered slides come to " + std::to_string(total)
                    + " bytes as a library, more than a library holds (" + std::to_string(MAX_LIBRARY_BYTES)
                    + "): " + o.out + " not written; -d DIR writes them as files");
            std::vector<std::string> names;
            std::vector<std::vector<std::uint8_t>> slides;
            for (auto& s : report.slides) {
                names.push_back(s.name);
                slides.push_back(std::move(s.bytes));
            }
            if (!writeWholeFile(o.out, inspect::encodeLibrary(names, slides)))
                return fail(writeFailure(o.out));
        } else if (!o.directory.empty()) {
            if (!makeDirectory(o.directory)) return fail("cannot create the folder " + o.directory);
            std::vector<std::string> stored;
            for (const auto& s : report.slides)
                stored.push_back(s.name);
            const std::vector<std::string> files = distinctFileNames(stored);
            for (std::size_t i = 0; i < report.slides.size(); ++i) {
                const auto& s = report.slides[i];
                const std::string path = joinPath(o.directory, files[i] + ".SLD");
                if (sameFile(path, o.damaged))
                    return fail(path + " is the damaged file itself; salvage never writes over its input");
                if (!writeWholeFile(path, s.bytes)) return fail(writeFailure(path));
            }
        }
        return EXIT_OK;
    }

} // namespace

void addInspectCommands(CommandSet& commands, Action& action)
{
    auto d = std::make_shared<DumpOptions>();
    if (CLI::App* c
        = commands.add("dump", "Print a slide or a library as text, one line per field and record")) {
        c->add_option("FILE", d->file, "a slide file, a library, or LIBRARY(NAME)")->required();
        c->add_option("-o,--output", d->out, "write the text here instead of standard output");
        c->add_flag("--no-offsets", d->noOffsets,
            "leave byte offsets out of the comments (for version-control diffs)");
        auto* asSlide
            = c->add_flag("--slide", d->slide, "read FILE as a slide whatever its name and header say");
        c->add_flag("--library", d->library, "read FILE as a library whatever its name and header say")
            ->excludes(asSlide);
        c->callback([&action, d] { action = [d] { return runDump(*d); }; });
    }

    auto b = std::make_shared<BuildOptions>();
    if (CLI::App* c = commands.add(
            "build", "Turn the text that dump prints (edited or not) back into a slide or a library")) {
        c->add_option("TEXT", b->text, "the text file, or - for standard input")->required();
        c->add_option("-o,--output", b->out, "the slide or library file to write")->required();
        c->callback([&action, b] { action = [b] { return runBuild(*b); }; });
    }

    auto f = std::make_shared<DiffOptions>();
    if (CLI::App* c = commands.add("diff",
            "Show how two slides (record by record) or two libraries (slide by slide) differ; "
            "exit 0 same, 1 different, 2 trouble")) {
        c->add_option("A", f->a, "the first slide or library")->required();
        c->add_option("B", f->b, "the second")->required();
        auto* diffSlide = c->add_flag("--slide", f->slide, "compare both as slides");
        c->add_flag("--library", f->library, "compare both as libraries")->excludes(diffSlide);
        c->callback([&action, f] { action = [f] { return runDiff(*f); }; });
    }

    auto v = std::make_shared<SalvageOptions>();
    if (CLI::App* c = commands.add("salvage",
            "Recover the slides of a damaged library into a new library (-o) or loose slide "
            "files (-d); prints what it found, never writes over its input")) {
        c->add_option("DAMAGED", v->damaged, "the damaged library (any file that holds slides)")->required();
        c->add_option("-o,--output", v->out, "the new library to write");
        c->add_option(
            "-d,--directory", v->directory, "write NAME.SLD files here instead (created when missing)");
        c->callback([&action, v] { action = [v] { return runSalvage(*v); }; });
    }
}

} // namespace qorvan::cli
