// qorvan check: every fault a library or slide can carry, with where it is
// and whether it is damage or an oddity the module copes with.
#include <CLI/CLI.hpp>

#include <cstdio>

#include "cli/commands.h"
#include "cli/common.h"
#include "inspect/check.h"
#include "slide/slide_source.h"
#include "store/status.h"

namespace qorvan::cli {

namespace {

    using inspect::CheckKind;
    using inspect::Finding;
    using inspect::Severity;

    struct CheckOptions {
        std::vector<std::string> files;
        bool strict = false;
        bool quiet = false;
        bool json = false;
    };

    // One operand's findings: the file's own, then per slide (a library's
    // slides are named; a slide file or reference is one unnamed slide).
    struct FileReport {
        std::string path; // as found: the file read, or the reference
        const char* type = "slide";
        std::vector<Finding> findings;
        std::vector<inspect::SlideCheck> slides;
        bool library = false;
    };

    struct Totals {
        std::size_t files = 0, slides = 0, errors = 0, warnings = 0;
        void add(const std::vector<Finding>& fs)
        {
            for (const Finding& f : fs)
                ++(f.severity() == Severity::Error ? errors : warnings);
        }
    };

    // The tools write a slide to a file under its name made safe; a name
    // that changes on the way cannot be written as it stands.
    bool unsafeFileName(const std::string& name)
    {
        return name.empty() || safeFileName(name) != name || name.back() == ' ' || name.front() == ' ';
    }

    Finding unlocated(CheckKind kind, std::string message)
    {
        Finding f;
        f.kind = kind;
        f.message = std::move(message);
        return f;
    }

    // A status the slide reference set, as a finding.
    Finding referenceFailure(StatusCode code)
    {
        const CheckKind kind = code == InvalidLibrary ? CheckKind::NotALibrary
            : code == SlideNotFound                   ? CheckKind::SlideNotFound
                                                      : CheckKind::Unreadable;
        return unlocated(kind, statusMessage());
    }

    FileReport checkOperand(const std::string& argument)
    {
        FileReport r;
        resetStatus();
        Input in = findInput(argument);
        r.path = in.path;
        switch (in.kind) {
        case InputKind::Missing: {
            std::vector<std::uint8_t> ignored;
            readWholeFile(argument, ignored);
            // readFailure names the path first; the line names it already.
            const std::string why = readFailure(argument);
            r.type = "unreadable";
            r.findings.push_back(unlocated(CheckKind::Unreadable,
                "cannot be read: " + why.substr(std::min(why.size(), argument.size() + 2))));
            break;
        }
        case InputKind::Library: {
            r.type = "library";
            inspect::LibraryCheck c = inspect::checkLibrary(in.bytes.data(), in.bytes.size(), unsafeFileName);
            r.findings = std::move(c.findings);
            r.slides = std::move(c.slides);
            r.library = true;
            break;
        }
        case InputKind::LibrarySlide: {
            LoadedSlide s;
            r.type = "library slide";
            if (const StatusCode code = loadSlideRef(in.path, s); code != Ok) {
                r.findings.push_back(referenceFailure(static_cast<StatusCode>(code)));
                break;
            }
            inspect::SlideCheck& one = r.slides.emplace_back();
            one.offset = s.offset;
            one.bytes
                = inspect::checkSlide(s.bytes.data(), s.bytes.size(), static_cast<std::size_t>(s.offset));
            break;
        }
        case InputKind::SlideFile:
            r.slides.emplace_back().bytes = inspect::checkSlide(in.bytes.data(), in.bytes.size());
            break;
        }
        resetStatus();
        return r;
    }

    std::string line(const std::string& subject, const Finding& f, const std::string& prefix = "")
    {
        std::string text = subject + ": ";
        if (f.located) text += "byte " + std::to_string(f.offset) + ": ";
        text += std::string(inspect::severityName(f.severity())) + ": " + prefix + f.message;
        if (f.kind == CheckKind::BigEndian) text += " (qorvan convert makes a copy the module reads)";
        if (f.kind == CheckKind::HiddenSlide)
            text += " (qorvan salvage " + subject
                + " -o NEW.slb writes every slide it finds into a new library)";
        return text + "\n";
    }

    std::string textReport(const FileReport& r, bool quiet)
    {
        std::string out;
        for (const Finding& f : r.findings)
            out += line(r.path, f);
        for (const inspect::SlideCheck& s : r.slides) {
            for (const Finding& f : s.entry)
                out += line(r.path, f, "slide " + s.name + ": ");
            for (const Finding& f : s.bytes)
                out += line(r.library ? formatSlideRef(r.path, s.name) : r.path, f);
        }
        if (out.empty() && !quiet) out = r.path + ": ok\n";
        return out;
    }

    std::string jsonFindings(const std::vector<Finding>& a, const std::vector<Finding>& b = {})
    {
        std::string out = "[";
        bool first = true;
        for (const auto* list : { &a, &b })
            for (const Finding& f : *list) {
                out += first ? "" : ",";
                first = false;
                out += "{\"severity\":\"" + std::string(inspect::severityName(f.severity()))
                    + "\",\"kind\":\"" + inspect::kindInfo(f.kind).key
                    + "\",\"offset\":" + (f.located ? std::to_string(f.offset) : std::string("null"))
                    + ",\"message\":" + jsonString(f.message) + "}";
            }
        return out + "]";
    }

    std::string jsonReport(const FileReport& r)
    {
        std::string out = "{\"file\":" + jsonString(r.path) + ",\"type\":\"" + r.type
            + "\",\"problems\":" + jsonFindings(r.findings) + ",\"slides\":[";
        for (std::size_t i = 0; i < r.slides.size(); ++i) {
            const inspect::SlideCheck& s = r.slides[i];
            out += (i ? ",{" : "{") + std::string("\"name\":")
                + (r.library ? jsonString(s.name) : std::string("null")) + ",\"entry\":"
                + (r.library ? std::to_string(s.entryOffset) : std::string("null")) + ",\"offset\":"
                + std::to_string(s.offset) + ",\"problems\":" + jsonFindings(s.entry, s.bytes) + "}";
        }
        return out + "]}";
    }

    std::string summary(const Totals& t)
    {
        auto n = [](std::size_t v, const char* word) {
            return std::to_string(v) + " " + word + (v == 1 ? "" : "s");
        };
        return "checked " + n(t.files, "file") + ", " + n(t.slides, "slide") + ": " + n(t.errors, "error")
            + ", " + n(t.warnings, "warning");
    }

    int runCheck(const CheckOptions& o)
    {
        Totals totals;
        Progress progress(o.files.size());
        std::string json = "{\"files\":[";
        for (std::size_t i = 0; i < o.files.size(); ++i) {
            // Results and the bar share the terminal: what is printed is on
            // its way out before the bar is drawn, and the bar is gone
            // before anything else is printed.
            std::fflush(stdout);
            progress.step(i + 1, o.files[i]);
            const FileReport r = checkOperand(o.files[i]);
            progress.finish();
            ++totals.files;
            totals.slides += r.slides.size();
            totals.add(r.findings);
            for (const inspect::SlideCheck& s : r.slides) {
                totals.add(s.entry);
                totals.add(s.bytes);
            }
            if (o.json)
                json += (i ? "," : "") + jsonReport(r);
            else
                std::fputs(shownLines(textReport(r, o.quiet), stdout).c_str(), stdout);
        }
        if (o.json) {
            json += "],\"summary\":{\"files\":" + std::to_string(totals.files) + ",\"slides\":"
                + std::to_string(totals.slides) + ",\"errors\":" + std::to_string(totals.errors)
                + ",\"warnings\":" + std::to_string(totals.warnings) + "}}\n";
            std::fputs(json.c_str(), stdout);
        } else if (!o.quiet) {
            std::printf("%s\n", summary(totals).c_str());
        }
        const bool failed = totals.errors || (o.strict && totals.warnings);
        return failed ? EXIT_FAILED : EXIT_OK;
    }

} // namespace

void addCheckCommand(CommandSet& commands, Action& action)
{
    auto o = std::make_shared<CheckOptions>();
    CLI::App* c = commands.add("check",
        "Verify libraries and slides: print each problem with its byte offset, as an error (damage) or a "
        "warning (an oddity the module copes with); exit 1 on errors");
    if (!c) return;
    c->add_option("FILE", o->files, "libraries, slide files or LIBRARY(NAME)")->required();
    c->add_flag("--strict", o->strict, "exit 1 on warnings too");
    c->add_flag("-q,--quiet", o->quiet, "print problems only: no ok lines, no summary");
    c->add_flag("--json", o->json, "print one JSON document: each file, slide and problem, and the summary");
    c->callback([&action, o] { action = [o] { return runCheck(*o); }; });
}

} // namespace qorvan::cli
