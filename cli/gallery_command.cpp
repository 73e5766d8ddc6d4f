// qorvan gallery: a contact sheet of libraries, an index.html with one SVG
// per slide beside it, viewable offline in any browser.
#include <CLI/CLI.hpp>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>

#include "cli/commands.h"
#include "cli/common.h"
#include "cli/drawing.h"
#include "cli/slide_source.h"
#include "platform/path.h"
#include "store/library.h"
#include "store/status.h"

namespace qorvan::cli {

namespace {

// Every picture of the sheet is drawn in a box of this size, as the dialogs'
// previews draw a slide into their control.
inline constexpr int THUMB_WIDTH = 320;
inline constexpr int THUMB_HEIGHT = 240;

struct GalleryOptions {
    std::vector<std::string> libraries;
    std::string directory;
};

std::string html(const std::string& text)
{
    std::string out;
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default:
            if (c < 0x20 || c >= 0x7F) out += "&#" + std::to_string(c) + ";";
            else out += static_cast<char>(c);
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
        if (std::isalnum(c) || std::strchr("-_.~", c)) out += static_cast<char>(c);
        else {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        }
    }
    return out;
}

const char* PAGE_HEAD = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Slide libraries</title>
<style>
body { font-family: sans-serif; background: #f4f4f4; margin: 1em; }
h2 { font-size: 1.1em; margin: 1.5em 0 0.5em; }
.sheet { display: flex; flex-wrap: wrap; gap: 12px; }
figure { margin: 0; background: #fff; padding: 6px; border: 1px solid #ccc; }
figure img { display: block; width: 160px; height: 120px; background: #000; }
figcaption { font-family: monospace; font-size: 0.9em; text-align: center; margin-top: 4px; max-width: 160px; overflow-wrap: anywhere; }
.fault { color: #a00; font-size: 0.8em; }
</style>
</head>
<body>
<h1>Slide libraries</h1>
)";

int runGallery(const GalleryOptions& o)
{
    resetStatus();
    struct Library {
        std::string path;
        std::vector<std::uint8_t> bytes;
        LibraryScan scan;
    };
    std::vector<Library> libraries;
    std::size_t total = 0;
    for (const std::string& l : o.libraries) {
        Input in = findInput(l);
        if (in.kind != InputKind::Library || !isLibraryFile(in.bytes)) {
            if (!readDirectory(l.c_str()).empty()) setStatus(InvalidLibrary, nullptr, nullptr);
            return failWithStatus();
        }
        Library lib{in.path, std::move(in.bytes), {}};
        lib.scan = scanLibrary(lib.bytes);
        total += lib.scan.entries.size();
        libraries.push_back(std::move(lib));
    }
    if (!makeDirectory(o.directory)) return fail("cannot create the folder " + o.directory);
    std::string page = PAGE_HEAD;
    Progress progress(total);
    std::size_t done = 0;
    std::map<std::string, int> folders;
    for (const Library& lib : libraries) {
        std::string folder = safeFileName(platform::splitPath(lib.path).base);
        int n = folders[platform::toUpperAscii(folder)]++;
        if (n) folder += "~" + std::to_string(n);
        if (!makeDirectory(joinPath(o.directory, folder))) return fail("cannot create the folder " + folder);
        page += "<h2>" + html(lib.path) + " (" + std::to_string(lib.scan.entries.size()) + " slides)</h2>\n<div class=\"sheet\">\n";
        std::map<std::string, int> names;
        for (const ScannedEntry& e : lib.scan.entries) {
            LoadedSlide s = sliceSlide(lib.bytes, e.offset, e.size, lib.path + "(" + e.name + ")");
            int header = 0;
            std::string doc = svgDocument(s, THUMB_WIDTH, THUMB_HEIGHT, Background::Black, &header);
            std::string file = safeFileName(e.name);
            int k = names[platform::toUpperAscii(file)]++;
            if (k) file += "~" + std::to_string(k);
            file += ".svg";
            if (!writeWholeFile(joinPath(joinPath(o.directory, folder), file), doc))
                return fail("cannot write " + joinPath(joinPath(o.directory, folder), file));
            page += "<figure><img src=\"" + html(urlSegment(folder) + "/" + urlSegment(file)) + "\" alt=\"" +
                    html(e.name) + "\"><figcaption>" + html(e.name);
            if (header != Ok) {
                setStatus(header, nullptr, nullptr);
                page += "<br><span class=\"fault\">" + html(statusMessage()) + "</span>";
                resetStatus();
            }
            page += "</figcaption></figure>\n";
            progress.step(++done, e.name);
        }
        page += "</div>\n";
    }
    page += "</body>\n</html>\n";
    std::string index = joinPath(o.directory, "index.html");
    if (!writeWholeFile(index, page)) return fail("cannot write " + index);
    return EXIT_OK;
}

} // namespace

void addGalleryCommand(CLI::App& app, Action& action)
{
    auto o = std::make_shared<GalleryOptions>();
    CLI::App* c = app.add_subcommand("gallery", "Make a folder with index.html and one SVG per slide: a contact sheet of libraries");
    c->add_option("LIB", o->libraries, "slide libraries (.slb optional)")->required();
    c->add_option("-o,--output", o->directory, "the folder to write (created when missing)")->required();
    c->callback([&action, o] { action = [o] { return runGallery(*o); }; });
}

} // namespace qorvan::cli
