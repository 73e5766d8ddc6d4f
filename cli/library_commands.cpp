// list, create, append, delete, extract, explode, remove, replace, rename:
// the store's operations, one call each, with the store's messages.
#include <CLI/CLI.hpp>

#include <sys/resource.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <sys/stat.h>

#include "cli/commands.h"
#include "cli/common.h"
#include "platform/path.h"
#include "platform/resolve.h"
#include "slide/slide_source.h"
#include "store/edit.h"
#include "store/library.h"
#include "store/library_codec.h"
#include "store/status.h"

namespace qorvan::cli {

namespace {

    // Each slide file of a batch stays open from its check to its copy; a
    // batch of thousands needs the descriptors the system allows, not the
    // smaller default share.
    void raiseFileLimit()
    {
        struct rlimit limit { };
        if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }

    struct LibraryOptions {
        std::string library;
        std::vector<std::string> items; // slide files or names
        std::string directory = ".";
        std::string oldName;
        std::string newName;
        bool json = false;
        bool force = false;
        bool keepGoing = false;
        bool noClobber = false;
        bool interactive = false;
    };

    // What extract and explode do about a slide file that is there already
    // (found without regard to case, as the store finds it), as cp does:
    // replace it and say so, leave it (-n), or ask (-i).
    class Overwrites {
    public:
        Overwrites(const LibraryOptions& o, const char* command)
            : o_(o)
            , command_(command)
        {
        }

        // Whether the slide stored as name is to be written.
        bool write(const std::string& name)
        {
            const std::string file = extractedFileFor(o_.directory.c_str(), name.c_str());
            planned_[name] = file;
            // A file this run wrote (a second slide of one name) is no one's loss.
            struct stat st { };
            if (file.empty() || ours_.count(file) || ::lstat(file.c_str(), &st) != 0) return true;
            if (o_.noClobber) {
                left_.push_back(file);
                return false;
            }
            if (o_.interactive && !ask(file)) return false;
            pending_[name] = file;
            return true;
        }
        // The slide stored as name was written.
        void written(const std::string& name)
        {
            if (auto it = planned_.find(name); it != planned_.end()) ours_.insert(it->second);
            if (auto it = pending_.find(name); it != pending_.end()) {
                replaced_.push_back(it->second);
                pending_.erase(it);
            }
        }
        // Said once the work is done, so that no line cuts into the progress bar.
        void report() const
        {
            for (const std::string& f : left_)
                std::fprintf(stderr, "qorvan %s: %s is there already: not replaced\n", command_,
                    shown(f, stderr).c_str());
            for (const std::string& f : replaced_)
                std::fprintf(stderr, "qorvan %s: replaced %s\n", command_, shown(f, stderr).c_str());
        }

    private:
        bool ask(const std::string& file) const
        {
            std::fprintf(stderr, "qorvan %s: replace %s? ", command_, shown(file, stderr).c_str());
            std::fflush(stderr);
            char answer[64];
            if (!std::fgets(answer, sizeof answer, stdin)) {
                std::fputc('\n', stderr);
                return false;
            }
            return answer[0] == 'y' || answer[0] == 'Y';
        }

        const LibraryOptions& o_;
        const char* command_;
        std::map<std::string, std::string> planned_, pending_; // name -> its file
        std::set<std::string> ours_; // files this run wrote
        std::vector<std::string> left_, replaced_;
    };

    // The store's failure on the library the user named.
    int failWithLibrary(const LibraryOptions& o)
    {
        return failWithStatus(o.library, libraryNativeFor(o.library.c_str()));
    }

    // One library's listing: its names a line each, or its JSON array
    // (indented by indent). False, with the failure said, when it cannot be
    // read.
    bool listOne(const std::string& library, bool json, const std::string& indent, std::string& out)
    {
        resetStatus();
        if (refuseSlideAsLibrary("list", library)) return false;
        std::vector<LibraryEntry> entries = readDirectory(library.c_str());
        // An empty library is a library: its listing is empty, not an error.
        if (entries.empty() && lastStatus() != EmptyLibrary) {
            failWithStatus(library, libraryNativeFor(library.c_str()));
            return false;
        }
        if (json) out += "[";
        bool first = true;
        for (const LibraryEntry& e : entries) {
            const std::string name = nameText(e.name.bytes, SLIDE_NAME_SIZE);
            if (json) {
                out += (first ? "\n  " : ",\n  ") + indent;
                out += "{\"name\": " + jsonString(name) + ", \"offset\": " + std::to_string(e.offset)
                    + ", \"size\": " + std::to_string(e.size) + "}";
            } else {
                out += shown(name, stdout) + "\n";
            }
            first = false;
        }
        if (json) out += entries.empty() ? "]" : "\n" + indent + "]";
        return true;
    }

    // Several libraries as ls lists several folders: a heading for each,
    // a blank line between; with --json, one array of {library, slides}.
    // Each that cannot be read is said and left out; the rest are listed.
    int runList(const LibraryOptions& o)
    {
        const bool several = o.items.size() > 1;
        std::string out;
        bool failed = false;
        if (o.json && several) out += "[";
        for (std::size_t i = 0; i < o.items.size(); ++i) {
            const std::string& library = o.items[i];
            std::string one;
            if (!listOne(library, o.json, several ? "  " : "", one)) {
                failed = true;
                continue;
            }
            if (o.json && several) {
                out += std::string(out.size() > 1 ? "," : "") + "\n  {\"library\": " + jsonString(library)
                    + ", \"slides\": " + one + "}";
            } else if (several) {
                out += std::string(out.empty() ? "" : "\n") + shown(library, stdout) + ":\n" + one;
            } else {
                out += one + (o.json ? "\n" : "");
            }
        }
        if (o.json && several) out += out.size() > 1 ? "\n]\n" : "]\n";
        std::fwrite(out.data(), 1, out.size(), stdout);
        resetStatus();
        return failed ? EXIT_FAILED : EXIT_OK;
    }

    int runCreate(const LibraryOptions& o)
    {
        resetStatus();
        // Creating truncates: refuse to empty a file that is already there
        // unless asked to.
        const std::string path = libraryFileFor(o.library.c_str());
        if (platform::pathExists(path)) {
            // The store never empties a library that holds slides: that would
            // lose them with one word. Say so rather than let its refusal read
            // as a file that cannot be opened, or suggest a --force that would
            // be refused too.
            if (std::size_t held = readDirectory(o.library.c_str()).size(); held > 0)
                return failIn("create",
                    path + " holds " + std::to_string(held) + (held == 1 ? " slide" : " slides")
                        + "; create replaces only a library without slides (qorvan delete takes "
                          "slides out; remove the file to start over)");
            if (lastStatus() == InvalidLibrary)
                return failIn("create",
                    path
                        + " is not a slide library, and create leaves other files alone (remove "
                          "or rename it first)");
            resetStatus();
            if (!o.force)
                return failIn("create", path + " exists (use --force to replace it with an empty library)");
        }
        if (createLibrary(o.library.c_str()) != Ok) return failWithLibrary(o);
        return EXIT_OK;
    }

    // Runs op over each item in order and stops at the first failure, as a
    // script of the AutoLISP calls would.
    template <typename Op> int forEach(const LibraryOptions& o, Op op)
    {
        Progress progress(o.items.size());
        std::size_t done = 0;
        for (const std::string& item : o.items) {
            resetStatus();
            if (op(item) != Ok) return failWithLibrary(o);
            progress.step(++done, item);
        }
        return EXIT_OK;
    }

    // A slide file operand as the tool finds it: by the module's rule (".SLD"
    // added unless the name holds a '.'), and where that finds nothing, the
    // path as typed, so `append LIB /dev/zero` is about /dev/zero.
    OpenSlideFile openOperand(const std::string& item)
    {
        OpenSlideFile f = openSlideFile(item);
        if (!f.file.isOpen() && f.openFailure.error == ENOENT && slideFileFor(item.c_str()) != item
            && platform::pathExists(item)) {
            platform::clearFailure();
            f.file = platform::File::open(item, platform::OpenMode::Read);
            if (!f.file.isOpen()) f.openFailure = platform::takeFailure();
        }
        return f;
    }

    // The files an append or replace is given, opened once: the check, the
    // store's measure and its copy all go through that descriptor, so the
    // file examined is the file stored. The module's slb-append stores any
    // file whole, but a person who types `append LIB notes.txt` has made a
    // mistake. Good ones go to `good`; a name that will be cut is noted for
    // after the edit.
    std::vector<BatchProblem> checkSlideFiles(
        const LibraryOptions& o, std::vector<OpenSlideFile>& good, std::vector<std::string>& notes)
    {
        std::vector<BatchProblem> bad;
        for (const std::string& item : o.items) {
            OpenSlideFile f = openOperand(item);
            std::string why;
            // A file that cannot be opened is the store's to report, in order.
            if (!o.force && f.file.isOpen()) {
                std::vector<std::uint8_t> bytes(SLIDE_CHECK_BYTES);
                bytes.resize(f.file.read(bytes.data(), bytes.size()));
                if (!checkSlideBytes(bytes, why)) {
                    bad.push_back(BatchProblem {
                        item, InvalidSlide, "not a slide: " + why + " (--force stores it as it is)", {} });
                    continue;
                }
                // The module reads every slide low byte first: one stored
                // high byte first would be in the library and never drawn.
                if (slide::detectByteOrder(bytes.data(), bytes.size()).order == slide::ByteOrder::Big) {
                    bad.push_back(BatchProblem { item, InvalidSlide,
                        "a slide written high byte first, which the module cannot read (qorvan convert "
                            + item + " -o COPY.sld makes a copy it reads; --force stores it as it is)",
                        {} });
                    continue;
                }
            }
            if (platform::splitPath(item).base.size() > SLIDE_NAME_MAX)
                notes.push_back(item + ": stored as " + slideNameFor(item.c_str())
                    + " (a slide name holds at most 31 characters)");
            good.push_back(std::move(f));
        }
        return bad;
    }

    // Each item left out, named as the user gave it: the store's message
    // names a duplicate by its slide name, not by the file that carried it.
    void printProblems(const char* command, const std::vector<BatchProblem>& problems)
    {
        for (const BatchProblem& p : problems) {
            const bool named = p.code == SlideNotFound || p.code == SlideExists || p.code == EmptyLibrary;
            failIn(
                command, named ? p.item + ": " + p.message : failureText(p.code, p.message, p.cause, p.item));
        }
    }

    // Several slides of one library in one rewrite. Each item left out is
    // named with its reason; with --keep-going the others are still done.
    int runBatch(const char* command, const LibraryOptions& o, const char* doneWord, bool checkSlides,
        BatchResult (*op)(const LibraryOptions&, std::vector<OpenSlideFile>&, const BatchOptions&))
    {
        resetStatus();
        LibraryOptions todo = o;
        std::vector<OpenSlideFile> files;
        std::vector<BatchProblem> refused;
        std::vector<std::string> notes;
        if (checkSlides) {
            raiseFileLimit();
            todo.items.clear();
            refused = checkSlideFiles(o, files, notes);
            for (const OpenSlideFile& f : files)
                todo.items.push_back(f.item);
        }
        printProblems(command, refused);
        BatchResult r;
        bool storeFailed = false; // the directory could not be read, or the rewrite failed
        if (todo.items.empty() || (!refused.empty() && !o.keepGoing)) {
            r.code = InvalidSlide;
        } else {
            Progress progress(todo.items.size());
            BatchOptions options;
            options.keepGoing = o.keepGoing;
            options.progress
                = [&](std::size_t done, std::size_t, const std::string& item) { progress.step(done, item); };
            r = op(todo, files, options);
            progress.finish();
            printProblems(command, r.problems);
            if (r.changed)
                for (const std::string& n : notes)
                    failIn(command, n);
            if (r.code == Ok && refused.empty()) return EXIT_OK;
            storeFailed = r.code != Ok
                && (r.problems.empty() || std::string(statusMessage()) != r.problems.back().message);
        }
        const std::size_t left = refused.size() + r.problems.size();
        if (o.items.size() == 1 && left == 1 && !storeFailed) {
            // The one line above said it all.
        } else if (r.changed) {
            std::fprintf(stderr, "qorvan %s: %zu of %zu %s; %zu left out\n", command, o.items.size() - left,
                o.items.size(), doneWord, left);
        } else if (storeFailed) {
            failWithLibrary(o);
        } else {
            failIn(
                command, o.library + " unchanged" + (o.keepGoing ? "" : " (--keep-going does what it can)"));
        }
        return EXIT_FAILED;
    }

    // The store writes only into a folder that exists; a user who names a new
    // one with -d means it to be made. One that cannot be made is reported by
    // the store's own message when the first slide cannot be written.
    void prepareDirectory(const LibraryOptions& o)
    {
        makeDirectory(o.directory);
    }

    // The store extracts a slide by its name, and a name matches the first
    // slide that has it (in any letter case): a later slide of the same name
    // is never written, its file holding the first one's bytes. Each such
    // slide is named, and the command fails, so no one takes the folder for
    // the whole library.
    int reportSameNames(const LibraryOptions& o, const std::vector<LibraryEntry>& entries)
    {
        int status = EXIT_OK;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const std::string name = nameText(entries[i].name.bytes, SLIDE_NAME_SIZE);
            for (std::size_t j = 0; j < i; ++j) {
                const std::string first = nameText(entries[j].name.bytes, SLIDE_NAME_SIZE);
                if (!platform::equalsNoCase(first, name)) continue;
                status = failIn("explode",
                    o.library + ": slide " + std::to_string(i + 1) + ", " + name + ", was not written: slide "
                        + std::to_string(j + 1) + " has the same name, and " + joinPath(o.directory, first)
                        + ".SLD holds that one (qorvan salvage " + o.library
                        + " -d DIR writes every slide, a second of one name as NAME~1.SLD)");
                break;
            }
        }
        return status;
    }

    int runExplode(const LibraryOptions& o)
    {
        resetStatus();
        std::vector<LibraryEntry> entries = readDirectory(o.library.c_str());
        if (entries.empty()) return failWithLibrary(o);
        prepareDirectory(o);
        // The store reads the directory again under the writers' lock and holds
        // it to the last slide, so a rewrite by someone else cannot move the
        // slides under us; the first read only sizes the progress display.
        Progress progress(entries.size());
        Overwrites overwrites(o, "explode");
        resetStatus();
        const StatusCode code = explodeLibrary(
            o.library.c_str(), o.directory.c_str(),
            [&](std::size_t done, std::size_t, const std::string& name) {
                overwrites.written(name);
                progress.step(done, name);
            },
            [&](const std::string& name) { return overwrites.write(name); });
        progress.finish();
        overwrites.report();
        if (code != Ok && statusCause().error != platform::SAME_NAME_WRITTEN) return failWithLibrary(o);
        // Said slide by slide, with what to do about it.
        return reportSameNames(o, entries);
    }

} // namespace

void addLibraryCommands(CommandSet& commands, Action& action)
{
    auto o = std::make_shared<LibraryOptions>();
    const char* libHelp = "the slide library (.slb optional; paths as the AutoLISP functions take them)";
    auto library = [&](CLI::App* c) { c->add_option("LIB", o->library, libHelp)->required(); };
    auto directory = [&](CLI::App* c) {
        c->add_option(
             "-d,--directory", o->directory, "folder the slide files are written to (created when missing)")
            ->capture_default_str();
    };
    auto keepGoing = [&](CLI::App* c) {
        c->add_flag("-k,--keep-going", o->keepGoing,
            "do what can be done and name the rest (without it, one failure leaves the library unchanged)");
    };
    auto set = [&action, o](CLI::App* c, int (*run)(const LibraryOptions&)) {
        const std::string name = c->get_name();
        c->callback([&action, o, run, name] {
            action = [o, run, name] {
                // The store reads an empty folder text as the root's.
                if (o->directory.empty())
                    return failIn(name,
                        "-d wants a folder (\"\" would mean the root folder; -d . is the current one)",
                        EXIT_USAGE);
                if (!o->library.empty())
                    if (int refused = refuseSlideAsLibrary(name.c_str(), o->library)) return refused;
                return run(*o);
            };
        });
    };
    auto clobber = [&](CLI::App* c) {
        CLI::Option* n = c->add_flag("-n,--no-clobber", o->noClobber,
            "leave a slide file that is there already (in any letter case) as it is");
        c->add_flag(
             "-i,--interactive", o->interactive, "ask before replacing a slide file that is there already")
            ->excludes(n);
    };
    auto force = [&](CLI::App* c) {
        c->add_flag("-f,--force", o->force,
            "store files that do not look like slides (empty, text, a library) as they are");
    };

    if (CLI::App* c = commands.add("list", "Print the slide names of libraries in directory order")) {
        c->add_option("LIB", o->items,
             "slide libraries (.slb optional; paths as the AutoLISP functions take them); several are listed "
             "each under its name")
            ->required();
        c->add_flag("--json", o->json,
            "print an array of {name, offset, size} (for several libraries, an array of {library, slides})");
        set(c, runList);
    }

    if (CLI::App* c = commands.add("create", "Create an empty library")) {
        library(c);
        c->add_flag("-f,--force", o->force, "replace an existing file");
        set(c, runCreate);
    }

    if (CLI::App* c = commands.add("append", "Append slide files to a library (created when missing)")) {
        library(c);
        c->add_option(
             "SLIDE", o->items, "slide files (.sld optional); each is stored under its upper-cased base name")
            ->required();
        keepGoing(c);
        force(c);
        set(c, [](const LibraryOptions& x) {
            return runBatch("append", x, "slide files appended", true,
                [](const LibraryOptions& y, std::vector<OpenSlideFile>& files, const BatchOptions& b) {
                    return appendSlides(y.library.c_str(), files, b);
                });
        });
    }

    if (CLI::App* c = commands.add("delete", "Delete slides from a library")) {
        library(c);
        c->add_option("NAME", o->items, "slide names (letter case is ignored)")->required();
        keepGoing(c);
        set(c, [](const LibraryOptions& x) {
            return runBatch("delete", x, "slides deleted", false,
                [](const LibraryOptions& y, std::vector<OpenSlideFile>&, const BatchOptions& b) {
                    return deleteSlides(y.library.c_str(), y.items, b);
                });
        });
    }

    if (CLI::App* c = commands.add("extract", "Write slides of a library to DIR/NAME.SLD")) {
        library(c);
        c->add_option("NAME", o->items, "slide names (letter case is ignored)")->required();
        directory(c);
        clobber(c);
        set(c, [](const LibraryOptions& x) {
            prepareDirectory(x);
            // The stored names, for the files they make: a name typed in
            // another letter case finds the same slide.
            const std::vector<LibraryEntry> entries = readDirectory(x.library.c_str());
            resetStatus();
            Overwrites overwrites(x, "extract");
            const int status = forEach(x, [&](const std::string& n) {
                std::string stored;
                for (const LibraryEntry& e : entries)
                    if (stored.empty() && slideNameMatches(e.name, n, NameMatch::AnyCase))
                        stored = nameText(e.name.bytes, SLIDE_NAME_SIZE);
                if (!stored.empty() && !overwrites.write(stored)) return Ok;
                const StatusCode code = extractSlide(x.library.c_str(), n.c_str(), x.directory.c_str());
                if (code == Ok) overwrites.written(stored);
                return code;
            });
            overwrites.report();
            return status;
        });
    }

    if (CLI::App* c = commands.add("explode", "Write every slide of a library to DIR/NAME.SLD")) {
        library(c);
        directory(c);
        clobber(c);
        set(c, runExplode);
    }

    if (CLI::App* c
        = commands.add("remove", "Extract slides to DIR/NAME.SLD, then delete them from the library")) {
        library(c);
        c->add_option("NAME", o->items, "slide names (letter case is ignored)")->required();
        directory(c);
        keepGoing(c);
        set(c, [](const LibraryOptions& x) {
            prepareDirectory(x);
            return runBatch("remove", x, "slides removed", false,
                [](const LibraryOptions& y, std::vector<OpenSlideFile>&, const BatchOptions& b) {
                    return removeSlides(y.library.c_str(), y.items, y.directory.c_str(), b);
                });
        });
    }

    if (CLI::App* c = commands.add(
            "replace", "Replace slides of a library by slide files of the same name (or append them)")) {
        library(c);
        c->add_option("SLIDE", o->items, "slide files (.sld optional); each ends up last in the directory")
            ->required();
        keepGoing(c);
        force(c);
        set(c, [](const LibraryOptions& x) {
            return runBatch("replace", x, "slide files stored", true,
                [](const LibraryOptions& y, std::vector<OpenSlideFile>& files, const BatchOptions& b) {
                    return replaceSlides(y.library.c_str(), files, b);
                });
        });
    }

    if (CLI::App* c = commands.add("rename", "Rename a slide, keeping its place in the directory")) {
        library(c);
        c->add_option("OLD", o->oldName, "the slide's name (letter case is ignored)")->required();
        c->add_option("NEW", o->newName, "the new name: upper-cased, at most 31 characters, not already used")
            ->required();
        set(c, [](const LibraryOptions& x) {
            resetStatus();
            if (x.newName.size() > SLIDE_NAME_MAX)
                return fail("the new name " + x.newName + " is longer than 31 characters", EXIT_USAGE);
            int code = renameSlide(x.library.c_str(), x.oldName.c_str(), x.newName.c_str());
            // The store answers an unusable name with the invalid-slide code,
            // whose message would mislead here.
            if (code == InvalidSlide)
                return fail("\"" + x.newName
                        + "\" cannot be a slide name (empty, \".\", \"..\", or holding /, \\, : or control "
                          "characters)",
                    EXIT_USAGE);
            if (code != Ok) return failWithLibrary(x);
            return EXIT_OK;
        });
    }
}

} // namespace qorvan::cli
