// qorvan gallery: a contact sheet of slides for a browser. index.html lists
// every slide of the libraries, slide files and folders given, one section
// each, as small PNG pictures that load as they scroll into view, each
// linking to a full-size SVG; a filter box narrows the sheet by name.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>

#include "cli/commands.h"
#include "cli/common.h"
#include "cli/picture_options.h"
#include "platform/parallel.h"
#include "platform/path.h"
#include "platform/resolve.h"
#include "slide/picture_output.h"
#include "slide/slide_source.h"
#include "store/library.h"
#include "store/status.h"

namespace qorvan::cli {

namespace {

    namespace fs = std::filesystem;

    // The sheet shows each picture at this size (CSS pixels); --size changes it.
    inline constexpr int THUMB_WIDTH = 256;
    inline constexpr int THUMB_HEIGHT = 192;

    struct GalleryOptions {
        std::vector<std::string> inputs;
        std::string directory;
        std::string size;
        PictureChoices choices;
        int jobs = 1;
    };

    std::string html(const std::string& text)
    {
        std::string out;
        for (char ch : text) {
            auto c = static_cast<unsigned char>(ch);
            switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                if (c < 0x20 || c >= 0x7F)
                    out += "&#" + std::to_string(c) + ";";
                else
                    out += static_cast<char>(c);
            }
        }
        return out;
    }

    // A relative URL of path segments, each percent-encoded where needed.
    std::string urlSegment(const std::string& s)
    {
        std::string out;
        for (char ch : s) {
            auto c = static_cast<unsigned char>(ch);
            if (std::isalnum(c) || std::strchr("-_.~", c))
                out += static_cast<char>(c);
            else {
                char buf[4];
                std::snprintf(buf, sizeof buf, "%%%02X", c);
                out += buf;
            }
        }
        return out;
    }

    // One heading of the sheet: a library, or the loose slides of one folder.
    struct Section {
        std::string title; // as the user knows it: relative to the current folder where it lies below it
        std::string folder; // its folder inside the output
        std::vector<std::uint8_t> library; // a library's bytes; empty for loose slides
    };

    struct Item {
        std::size_t section = 0;
        std::string name; // the slide's name as shown
        std::string label; // how messages name it
        std::string path; // a loose slide's file
        std::int64_t offset = 0, size = 0; // a library slide's bytes
        std::string file; // base of its pictures inside the section folder
        // Filled by the drawing.
        StatusCode header = Ok;
        std::string failure;
    };

    std::string shownPath(const std::string& path)
    {
        std::error_code ec;
        fs::path absolute = fs::absolute(path, ec);
        if (ec) return path;
        fs::path relative = absolute.lexically_normal().lexically_relative(fs::current_path(ec));
        std::string r = relative.generic_string();
        if (ec || r.empty() || r.rfind("..", 0) == 0) return path;
        return r;
    }

    bool hasExtension(const fs::path& p, const char* ext)
    {
        return platform::toLowerAscii(p.extension().string()) == ext;
    }

    class SheetBuilder {
    public:
        std::vector<Section> sections;
        std::vector<Item> items;

        // A library file, a slide file, LIBRARY(NAME), or a folder (its slide
        // files and libraries, subfolders included, in name order). False with
        // the status or a message set when the argument names nothing usable.
        bool add(const std::string& argument, std::string& problem)
        {
            std::error_code ec;
            std::string native = platform::resolveExisting(argument);
            if (!native.empty() && fs::is_directory(native, ec)) return addFolder(argument, native, problem);
            Input in = findInput(argument);
            switch (in.kind) {
            case InputKind::Missing:
                problem = "cannot find " + argument + " (a slide, a library or a folder)";
                return false;
            case InputKind::Library:
                if (!isLibraryFile(in.bytes)) {
                    problem = in.path + ": " + "Slide library invalid.";
                    return false;
                }
                addLibrary(in.path, std::move(in.bytes));
                return true;
            case InputKind::LibrarySlide: {
                LoadedSlide s;
                if (loadSlideRef(argument, s) != Ok) {
                    problem = failureText(lastStatus(), statusMessage(), statusCause(), argument);
                    return false;
                }
                looseSection(shownPath(argument));
                items.push_back({ sections.size() - 1, argument, argument, argument, 0, 0, "", Ok, "" });
                return true;
            }
            case InputKind::SlideFile:
                addLoose(in.path);
                return true;
            }
            return false;
        }

    private:
        std::map<std::string, std::size_t> looseSections_;

        std::size_t looseSection(const std::string& title)
        {
            auto [it, added] = looseSections_.emplace(title, sections.size());
            if (added) sections.push_back({ title, "", {} });
            return it->second;
        }

        void addLoose(const std::string& path)
        {
            fs::path p(path);
            std::string folder = p.parent_path().string();
            std::size_t s = looseSection(folder.empty() ? "." : shownPath(folder));
            std::string name = p.filename().string();
            items.push_back({ s, name, path, path, 0, 0, "", Ok, "" });
        }

        void addLibrary(const std::string& path, std::vector<std::uint8_t> bytes)
        {
            LibraryScan scan = scanLibrary(bytes);
            sections.push_back({ shownPath(path), "", std::move(bytes) });
            for (const ScannedEntry& e : scan.entries)
                items.push_back({ sections.size() - 1, e.name, formatSlideRef(path, e.name), "", e.offset,
                    e.size, "", Ok, "" });
        }

        bool addFolder(const std::string& shown, const std::string& native, std::string& problem)
        {
            std::vector<fs::path> files;
            std::error_code ec;
            for (fs::recursive_directory_iterator
                     it(native, fs::directory_options::skip_permission_denied, ec),
                 end;
                 !ec && it != end; it.increment(ec)) {
                if (it->is_regular_file(ec)
                    && (hasExtension(it->path(), ".sld") || hasExtension(it->path(), ".slb")))
                    files.push_back(it->path());
            }
            if (ec) {
                problem = "cannot read the folder " + shown + ": " + ec.message();
                return false;
            }
            std::sort(files.begin(), files.end());
            for (const fs::path& f : files) {
                if (hasExtension(f, ".sld")) {
                    addLoose(f.string());
                    continue;
                }
                std::vector<std::uint8_t> bytes;
                if (!readWholeFile(f.string(), bytes) || !isLibraryFile(bytes)) {
                    // A folder holds what it holds: a damaged library is named
                    // and passed over, not a reason to give up the sheet.
                    std::fprintf(
                        stderr, "qorvan: warning: %s: not a slide library; left out\n", f.string().c_str());
                    continue;
                }
                addLibrary(f.string(), std::move(bytes));
            }
            return true;
        }
    };

    const char* PAGE_HEAD = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8"/>
<meta name="viewport" content="width=device-width, initial-scale=1"/>
<title>Slides</title>
<style>
body { font-family: sans-serif; background: #f4f4f4; margin: 0 1em 1em; }
header { position: sticky; top: 0; background: #f4f4f4; padding: 0.6em 0; border-bottom: 1px solid #ccc; z-index: 1; }
h1 { font-size: 1.3em; margin: 0.2em 0; }
#filter { font-size: 1em; padding: 0.3em; width: 20em; max-width: 90%; }
#shown { margin-left: 1em; color: #444; }
nav { margin: 0.8em 0; columns: 20em; font-size: 0.9em; }
nav a { display: block; }
h2 { font-size: 1.05em; margin: 1.5em 0 0.5em; overflow-wrap: anywhere; }
.count { color: #666; font-weight: normal; }
.sheet { display: flex; flex-wrap: wrap; gap: 12px; }
figure { margin: 0; background: #fff; padding: 6px; border: 1px solid #ccc; }
figure img { display: block; background: #e8e8e8; }
figure.loaded img { background: none; }
figcaption { font-family: monospace; font-size: 0.9em; text-align: center; margin-top: 4px; overflow-wrap: anywhere; }
.fault { color: #a00; font-size: 0.8em; }
[hidden] { display: none !important; }
</style>
</head>
<body>
)";

    // The filter matches a slide's name or its section's title, letter case
    // ignored; #filter=TEXT in the address fills it in, so a filtered sheet can
    // be linked to. Each picture is marked loaded when it arrives, which takes
    // away its placeholder.
    const char* PAGE_SCRIPT = R"(<script>
(function () {
  var box = document.getElementById('filter');
  var shown = document.getElementById('shown');
  var figures = Array.prototype.slice.call(document.querySelectorAll('figure'));
  var sections = Array.prototype.slice.call(document.querySelectorAll('section'));
  function apply() {
    var q = box.value.trim().toLowerCase();
    var count = 0;
    sections.forEach(function (s) {
      var title = s.getAttribute('data-title');
      var any = false;
      s.querySelectorAll('figure').forEach(function (f) {
        var hit = q === '' || f.getAttribute('data-name').indexOf(q) >= 0 || title.indexOf(q) >= 0;
        f.hidden = !hit;
        if (hit) { any = true; count++; }
      });
      s.hidden = !any;
      var link = document.querySelector('nav a[href="#' + s.id + '"]');
      if (link) link.hidden = !any;
    });
    shown.textContent = count + ' of ' + figures.length + ' slides shown';
  }
  figures.forEach(function (f) {
    var img = f.querySelector('img');
    if (!img) return;
    function loaded() { f.classList.add('loaded'); }
    if (img.complete && img.naturalWidth > 0) loaded();
    else img.addEventListener('load', loaded);
    img.addEventListener('error', function () { f.classList.add('missing'); });
  });
  var m = /[#&]filter=([^&]*)/.exec(location.hash);
  if (m) box.value = decodeURIComponent(m[1].replace(/\+/g, ' '));
  box.addEventListener('input', apply);
  apply();
})();
</script>
)";

    std::string lower(const std::string& s)
    {
        return platform::toLowerAscii(s);
    }

    int runGallery(const GalleryOptions& o)
    {
        resetStatus();
        int thumbW = THUMB_WIDTH, thumbH = THUMB_HEIGHT;
        if (!o.size.empty() && !parseSize(o.size, thumbW, thumbH))
            return fail("--size wants WIDTHxHEIGHT in pixels, such as 256x192", EXIT_USAGE);
        SheetBuilder sheet;
        for (const std::string& input : o.inputs) {
            std::string problem;
            if (!sheet.add(input, problem)) return fail(problem);
        }
        // A folder's loose slides may be named by several arguments; each
        // section's slides stand together, in the order given.
        std::stable_sort(sheet.items.begin(), sheet.items.end(),
            [](const Item& a, const Item& b) { return a.section < b.section; });
        if (!makeDirectory(o.directory)) return fail("cannot create the folder " + o.directory);

        // Folder and file names are settled before any drawing, so they do not
        // depend on the order in which the threads finish.
        std::vector<std::string> titles;
        for (const Section& s : sheet.sections) {
            std::string base = s.title == "." ? "slides" : fs::path(s.title).filename().string();
            titles.push_back(base.empty() ? "slides" : base);
        }
        const std::vector<std::string> folders = distinctFileNames(titles);
        for (std::size_t i = 0; i < sheet.sections.size(); ++i) {
            Section& s = sheet.sections[i];
            s.folder = folders[i];
            if (!makeDirectory(joinPath(o.directory, s.folder)))
                return fail("cannot create the folder " + s.folder);
        }
        std::vector<std::vector<std::size_t>> bySection(sheet.sections.size());
        for (std::size_t i = 0; i < sheet.items.size(); ++i)
            bySection[sheet.items[i].section].push_back(i);
        for (const std::vector<std::size_t>& items : bySection) {
            std::vector<std::string> stored;
            for (std::size_t i : items)
                stored.push_back(sheet.items[i].name);
            const std::vector<std::string> files = distinctFileNames(stored);
            for (std::size_t k = 0; k < items.size(); ++k)
                sheet.items[items[k]].file = files[k];
        }

        auto work = [&](std::size_t i) {
            Item& it = sheet.items[i];
            const Section& sec = sheet.sections[it.section];
            LoadedSlide s;
            if (!sec.library.empty()) {
                s = sliceSlide(sec.library, it.offset, it.size, it.label);
            } else if (loadSlideRef(it.path, s) != Ok) {
                // Said after the slide's label, so only what went wrong.
                const platform::IoFailure& cause = statusCause();
                it.failure = lastStatus() == CannotOpen && !cause.file.empty() ? ioFailureText(cause, it.path)
                                                                               : std::string(statusMessage());
                return;
            }
            const std::string folder = joinPath(o.directory, sec.folder);
            Picture thumb = makePicture(s, thumbW, thumbH, o.choices, PictureFormat::Png);
            if (!thumb.made) {
                it.failure = thumb.failure;
                return;
            }
            it.header = thumb.header;
            int w = 0, h = 0;
            slideSize(s, w, h);
            if (!writePictureFile(joinPath(folder, it.file + ".png"), thumb.encoded)) {
                it.failure = writeFailure(joinPath(folder, it.file + ".png"));
                return;
            }
            SavedPicture full
                = savePicture(s, w, h, o.choices, PictureFormat::Svg, joinPath(folder, it.file + ".svg"));
            if (!full.made)
                it.failure = full.failure;
            else if (!full.written)
                it.failure = writeFailure(joinPath(folder, it.file + ".svg"));
        };
        Progress progress(sheet.items.size());
        int status = EXIT_OK;
        auto finish = [&](std::size_t i) {
            const Item& it = sheet.items[i];
            // A slide that cannot be read is shown as such on the sheet; only a
            // failure to write stops the work.
            if (it.failure.rfind("cannot write", 0) == 0) {
                status = fail(it.failure);
                return false;
            }
            if (!it.failure.empty())
                std::fprintf(stderr, "qorvan: warning: %s: %s\n", shown(it.label, stderr).c_str(),
                    shown(it.failure, stderr).c_str());
            progress.step(i + 1, it.name);
            return true;
        };
        if (!forEachItem(sheet.items.size(), o.jobs, work, finish)) return status;

        std::string page = PAGE_HEAD;
        page += "<header><h1>Slides</h1><input id=\"filter\" type=\"search\" placeholder=\"Filter by name\" "
                "aria-label=\"Filter by name\" autofocus=\"\"/><span id=\"shown\">"
            + std::to_string(sheet.items.size()) + " slides</span></header>\n<nav>\n";
        std::vector<std::size_t> perSection(sheet.sections.size());
        for (const Item& it : sheet.items)
            ++perSection[it.section];
        for (std::size_t k = 0; k < sheet.sections.size(); ++k)
            page += "<a href=\"#s" + std::to_string(k) + "\">" + html(sheet.sections[k].title)
                + " <span class=\"count\">(" + std::to_string(perSection[k]) + ")</span></a>\n";
        page += "</nav>\n";
        const std::string dims
            = " width=\"" + std::to_string(thumbW) + "\" height=\"" + std::to_string(thumbH) + "\"";
        std::size_t next = 0;
        for (std::size_t k = 0; k < sheet.sections.size(); ++k) {
            const Section& sec = sheet.sections[k];
            page += "<section id=\"s" + std::to_string(k) + "\" data-title=\"" + html(lower(sec.title))
                + "\">\n<h2>" + html(sec.title) + " <span class=\"count\">(" + std::to_string(perSection[k])
                + (perSection[k] == 1 ? " slide" : " slides") + ")</span></h2>\n<div class=\"sheet\">\n";
            for (; next < sheet.items.size() && sheet.items[next].section == k; ++next) {
                const Item& it = sheet.items[next];
                const std::string base = urlSegment(sec.folder) + "/" + urlSegment(it.file);
                page += "<figure data-name=\"" + html(lower(it.name)) + "\">";
                if (it.failure.empty())
                    page += "<a href=\"" + html(base) + ".svg\"><img src=\"" + html(base) + ".png\"" + dims
                        + " loading=\"lazy\" alt=\"" + html(it.name) + "\"/></a>";
                page += "<figcaption>" + html(it.name);
                std::string fault = it.failure;
                if (fault.empty() && it.header != Ok) {
                    setStatus(it.header, nullptr, nullptr);
                    fault = statusMessage();
                    resetStatus();
                }
                if (!fault.empty()) page += "<br/><span class=\"fault\">" + html(fault) + "</span>";
                page += "</figcaption></figure>\n";
            }
            page += "</div>\n</section>\n";
        }
        page += PAGE_SCRIPT;
        page += "</body>\n</html>\n";
        std::string index = joinPath(o.directory, "index.html");
        if (!writePictureFile(index, page)) return fail("cannot write " + index);
        return EXIT_OK;
    }

} // namespace

void addGalleryCommand(CommandSet& commands, Action& action)
{
    auto o = std::make_shared<GalleryOptions>();
    o->choices.background = Background::White;
    o->choices.fit = Fit::Drawing;
    o->choices.style = Style::Smooth;
    CLI::App* c = commands.add("gallery",
        "Make a folder with index.html showing every slide: a contact sheet of libraries, slides and "
        "folders");
    if (!c) return;
    c->add_option("INPUT", o->inputs,
         "slide libraries (.slb optional), slide files, LIBRARY(NAME), or folders of them")
        ->required();
    c->add_option("-d,--directory,-o,--output", o->directory, "the folder to write (created when missing)")
        ->required();
    c->add_option("--size", o->size, "the size of each picture on the sheet, WIDTHxHEIGHT (default 256x192)");
    addPictureOptions(*c, o->choices);
    addJobsOption(*c, o->jobs);
    c->callback([&action, o] { action = [o] { return runGallery(*o); }; });
}

} // namespace qorvan::cli
