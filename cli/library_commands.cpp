// list, create, append, delete, extract, explode, remove, replace, rename:
// the store's operations, one call each, with the store's messages.
#include <CLI/CLI.hpp>

#include <cstdio>

#include "cli/commands.h"
#include "cli/common.h"
#include "platform/resolve.h"
#include "store/edit.h"
#include "store/library.h"
#include "store/status.h"

namespace qorvan::cli {

namespace {

struct LibraryOptions {
    std::string library;
    std::vector<std::string> items; // slide files or names
    std::string directory = ".";
    std::string oldName;
    std::string newName;
    bool json = false;
    bool force = false;
};

int runList(const LibraryOptions& o)
{
    resetStatus();
    std::vector<LibraryEntry> entries = readDirectory(o.library.c_str());
    // An empty library is a library: its listing is empty, not an error.
    if (entries.empty() && lastStatus() != EmptyLibrary) return failWithStatus();
    std::string out;
    if (o.json) out += "[";
    bool first = true;
    for (const LibraryEntry& e : entries) {
        std::string name = nameText(e.name.bytes, SLIDE_NAME_SIZE);
        if (o.json) {
            out += first ? "\n  " : ",\n  ";
            out += "{\"name\": " + jsonString(name) + ", \"offset\": " + std::to_string(e.offset) +
                   ", \"size\": " + std::to_string(e.size) + "}";
        } else {
            out += name + "\n";
        }
        first = false;
    }
    if (o.json) out += entries.empty() ? "]\n" : "\n]\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return EXIT_OK;
}

int runCreate(const LibraryOptions& o)
{
    resetStatus();
    // Creating truncates: refuse to empty a file that is already there
    // unless asked to.
    std::string path = o.library;
    if (path.find('.') == std::string::npos) path += ".slb";
    if (!o.force && platform::pathExists(path))
        return fail(path + " exists (use --force to replace it with an empty library)");
    if (createLibrary(o.library.c_str()) != Ok) return failWithStatus();
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
        if (op(item) != Ok) return failWithStatus();
        progress.step(++done, item);
    }
    return EXIT_OK;
}

// The store writes only into a folder that exists; a user who names a new
// one with -d means it to be made. One that cannot be made is reported by
// the store's own message when the first slide cannot be written.
void prepareDirectory(const LibraryOptions& o) { makeDirectory(o.directory); }

int runExplode(const LibraryOptions& o)
{
    resetStatus();
    std::vector<LibraryEntry> entries = readDirectory(o.library.c_str());
    if (entries.empty()) return failWithStatus();
    prepareDirectory(o);
    // The store reads the directory again under the writers' lock and holds
    // it to the last slide, so a rewrite by someone else cannot move the
    // slides under us; the first read only sizes the progress display.
    Progress progress(entries.size());
    resetStatus();
    if (explodeLibrary(o.library.c_str(), o.directory.c_str(),
                       [&](std::size_t done, std::size_t, const std::string& name) { progress.step(done, name); }) != Ok)
        return failWithStatus();
    return EXIT_OK;
}

} // namespace

void addLibraryCommands(CLI::App& app, Action& action)
{
    auto o = std::make_shared<LibraryOptions>();
    const char* libHelp = "the slide library (.slb optional; paths as the AutoLISP functions take them)";
    auto library = [&](CLI::App* c) { c->add_option("LIB", o->library, libHelp)->required(); };
    auto directory = [&](CLI::App* c) {
        c->add_option("-d,--directory", o->directory, "folder the slide files are written to (created when missing)")
            ->capture_default_str();
    };
    auto set = [&action, o](CLI::App* c, int (*run)(const LibraryOptions&)) {
        c->callback([&action, o, run] { action = [o, run] { return run(*o); }; });
    };

    CLI::App* c = app.add_subcommand("list", "Print the slide names of a library in directory order");
    library(c);
    c->add_flag("--json", o->json, "print an array of {name, offset, size}");
    set(c, runList);

    c = app.add_subcommand("create", "Create an empty library");
    library(c);
    c->add_flag("-f,--force", o->force, "replace an existing file");
    set(c, runCreate);

    c = app.add_subcommand("append", "Append slide files to a library (created when missing)");
    library(c);
    c->add_option("SLIDE", o->items, "slide files (.sld optional); each is stored under its upper-cased base name")
        ->required();
    set(c, [](const LibraryOptions& x) {
        return forEach(x, [&](const std::string& s) { return appendSlide(x.library.c_str(), s.c_str()); });
    });

    c = app.add_subcommand("delete", "Delete slides from a library");
    library(c);
    c->add_option("NAME", o->items, "slide names (letter case is ignored)")->required();
    set(c, [](const LibraryOptions& x) {
        return forEach(x, [&](const std::string& n) { return deleteSlide(x.library.c_str(), n.c_str()); });
    });

    c = app.add_subcommand("extract", "Write slides of a library to DIR/NAME.SLD");
    library(c);
    c->add_option("NAME", o->items, "slide names (letter case is ignored)")->required();
    directory(c);
    set(c, [](const LibraryOptions& x) {
        prepareDirectory(x);
        return forEach(x, [&](const std::string& n) {
            return extractSlide(x.library.c_str(), n.c_str(), x.directory.c_str());
        });
    });

    c = app.add_subcommand("explode", "Write every slide of a library to DIR/NAME.SLD");
    library(c);
    directory(c);
    set(c, runExplode);

    c = app.add_subcommand("remove", "Extract slides to DIR/NAME.SLD, then delete them from the library");
    library(c);
    c->add_option("NAME", o->items, "slide names (letter case is ignored)")->required();
    directory(c);
    set(c, [](const LibraryOptions& x) {
        prepareDirectory(x);
        return forEach(x, [&](const std::string& n) {
            return removeSlide(x.library.c_str(), n.c_str(), x.directory.c_str());
        });
    });

    c = app.add_subcommand("replace", "Replace slides of a library by slide files of the same name (or append them)");
    library(c);
    c->add_option("SLIDE", o->items, "slide files (.sld optional); each ends up last in the directory")->required();
    set(c, [](const LibraryOptions& x) {
        return forEach(x, [&](const std::string& s) { return replaceSlide(x.library.c_str(), s.c_str()); });
    });

    c = app.add_subcommand("rename", "Rename a slide, keeping its place in the directory");
    library(c);
    c->add_option("OLD", o->oldName, "the slide's name (letter case is ignored)")->required();
    c->add_option("NEW", o->newName, "the new name: upper-cased, at most 31 characters, not already used")->required();
    set(c, [](const LibraryOptions& x) {
        resetStatus();
        if (x.newName.size() > SLIDE_NAME_MAX)
            return fail("the new name " + x.newName + " is longer than 31 characters", EXIT_USAGE);
        int code = renameSlide(x.library.c_str(), x.oldName.c_str(), x.newName.c_str());
        // The store answers an unusable name with the invalid-slide code,
        // whose message would mislead here.
        if (code == InvalidSlide)
            return fail("\"" + x.newName + "\" cannot be a slide name (empty, \".\", \"..\", or holding /, \\, : or control characters)",
                        EXIT_USAGE);
        if (code != Ok) return failWithStatus();
        return EXIT_OK;
    });
}

} // namespace qorvan::cli
