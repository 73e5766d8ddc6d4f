// qorvan check: every fault a library or slide can carry that the module
// would stumble over or silently work around, with where it is.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <map>

#include "cli/analysis.h"
#include "cli/commands.h"
#include "cli/common.h"
#include "cli/slide_source.h"
#include "platform/path.h"
#include "store/library.h"
#include "store/status.h"

namespace qorvan::cli {

namespace {

    struct CheckOptions {
        std::vector<std::string> files;
    };

    class Report {
    public:
        explicit Report(std::string subject)
            : subject_(std::move(subject))
        {
        }
        void add(std::size_t offset, const std::string& what)
        {
            lines_ += subject_ + ": byte " + std::to_string(offset) + ": " + what + "\n";
            ++count_;
        }
        void addTo(const std::string& subject, std::size_t offset, const std::string& what)
        {
            lines_ += subject + ": byte " + std::to_string(offset) + ": " + what + "\n";
            ++count_;
        }
        std::size_t count() const { return count_; }
        const std::string& lines() const { return lines_; }

    private:
        std::string subject_;
        std::string lines_;
        std::size_t count_ = 0;
    };

    std::string statusText(int code)
    {
        setStatus(code, nullptr, nullptr);
        std::string text = statusMessage();
        setStatus(Ok, nullptr, nullptr);
        return text;
    }

    // Faults of one slide; offsets are counted from the start of the file the
    // slide sits in (base is its first byte).
    void checkSlide(
        const std::vector<std::uint8_t>& bytes, std::size_t base, const std::string& subject, Report& report)
    {
        slide::OrderGuess order = slide::detectByteOrder(bytes.data(), bytes.size());
        SlideAnalysis a = analyseSlide(bytes, order);
        if (a.headerCheck != Ok || !a.headerFaults.empty()) {
            std::string faults;
            for (const std::string& f : a.headerFaults)
                faults += (faults.empty() ? "" : "; ") + f;
            std::string text = "header check fails (" + statusText(a.headerCheck) + "): " + faults;
            if (order.order == slide::ByteOrder::Big)
                text += "; the slide was written big-endian (qorvan convert makes a copy the module reads)";
            report.addTo(subject, base, text);
        }
        if (!a.header.complete) return;
        if (a.walk.cutShort)
            report.addTo(subject, base + a.walk.stopOffset, "record cut short by the end of the slide");
        else if (!a.walk.endRecord)
            report.addTo(subject, base + a.walk.stopOffset, "missing end record");
        if (a.outside)
            report.addTo(subject, base + a.firstOutside,
                std::to_string(a.outside) + " record" + (a.outside == 1 ? "" : "s")
                    + " with coordinates outside the extent 0.." + std::to_string(a.header.xDots) + " by 0.."
                    + std::to_string(a.header.yDots) + " (first here)");
        std::size_t skipped = a.counts[static_cast<std::size_t>(slide::RecordKind::Skipped)];
        if (skipped)
            report.addTo(subject, base + a.firstSkipped,
                std::to_string(skipped) + " record word" + (skipped == 1 ? "" : "s")
                    + " of no known type, skipped (first here)");
    }

    bool unsafeFileName(const std::string& name)
    {
        return name.empty() || safeFileName(name) != name || name.back() == ' ' || name.front() == ' ';
    }

    void checkLibrary(const std::string& path, const std::vector<std::uint8_t>& bytes, Report& report)
    {
        LibraryScan scan = scanLibrary(bytes);
        if (!scan.magic) {
            report.add(0, "not a slide library: the header is not \"AutoCAD Slide Library 1.0\"");
            return;
        }
        if (!scan.terminated)
            report.add(
                scan.directoryEnd, "directory without terminating entry: it runs to the end of the file");
        const auto length = static_cast<std::int64_t>(bytes.size());
        const auto slidesStart = static_cast<std::int64_t>(scan.directoryEnd);
        std::map<std::string, std::size_t> seen; // upper-cased name -> entry offset
        std::int64_t previous = -1;
        for (const ScannedEntry& e : scan.entries) {
            const std::string shown = "slide " + e.name;
            if (e.name.size() == SLIDE_NAME_SIZE)
                report.add(e.entryOffset, shown + ": name fills all 32 bytes without a terminating NUL");
            std::string upper = platform::toUpperAscii(e.name);
            if (auto it = seen.find(upper); it != seen.end())
                report.add(e.entryOffset,
                    shown + ": duplicate of the name at byte " + std::to_string(it->second)
                        + ": only the first is reachable");
            else
                seen.emplace(upper, e.entryOffset);
            if (upper != e.name)
                report.add(
                    e.entryOffset, shown + ": name is not upper case: the viewer cannot find it by name");
            if (unsafeFileName(e.name)) report.add(e.entryOffset, shown + ": name unsafe as a file name");
            bool inside = e.offset >= slidesStart && e.offset < length;
            if (!inside)
                report.add(e.entryOffset + ENTRY_OFFSET_OFFSET,
                    shown + ": offset " + std::to_string(e.offset) + " is outside the file's slides ("
                        + std::to_string(slidesStart) + ".." + std::to_string(length) + ")");
            else if (e.offset < previous)
                report.add(e.entryOffset + ENTRY_OFFSET_OFFSET,
                    shown + ": offset " + std::to_string(e.offset) + " is before the previous slide's ("
                        + std::to_string(previous) + "): offsets out of order");
            if (inside) {
                previous = e.offset;
                LoadedSlide s = sliceSlide(bytes, e.offset, e.size > 0 ? e.size : length - e.offset, e.name);
                checkSlide(s.bytes, static_cast<std::size_t>(e.offset), path + "(" + e.name + ")", report);
            }
        }
    }

    int runCheck(const CheckOptions& o)
    {
        std::size_t problems = 0, unsound = 0;
        Progress progress(o.files.size());
        std::size_t done = 0;
        for (const std::string& f : o.files) {
            resetStatus();
            Input in = findInput(f);
            Report report(in.path);
            if (in.kind == InputKind::Missing) {
                report.add(0, "cannot open the file");
            } else if (in.kind == InputKind::Library) {
                checkLibrary(in.path, in.bytes, report);
            } else if (in.kind == InputKind::LibrarySlide) {
                LoadedSlide s;
                if (loadSlideRef(in.path, s) != Ok) {
                    report.add(0, statusMessage());
                } else {
                    checkSlide(s.bytes, 0, in.path, report);
                }
            } else {
                checkSlide(in.bytes, 0, in.path, report);
            }
            progress.step(++done, f);
            if (report.count()) {
                std::fputs(report.lines().c_str(), stdout);
                problems += report.count();
                ++unsound;
            } else {
                std::printf("%s: ok\n", in.path.c_str());
            }
        }
        resetStatus();
        if (problems)
            std::fprintf(stderr, "qorvan: %zu problem%s in %zu of %zu file%s\n", problems,
                problems == 1 ? "" : "s", unsound, o.files.size(), o.files.size() == 1 ? "" : "s");
        return problems ? EXIT_FAILED : EXIT_OK;
    }

} // namespace

void addCheckCommand(CLI::App& app, Action& action)
{
    auto o = std::make_shared<CheckOptions>();
    CLI::App* c
        = app.add_subcommand("check", "Verify libraries and slides; print each problem with its byte offset");
    c->add_option("FILE", o->files, "libraries, slide files or LIBRARY(NAME)")->required();
    c->callback([&action, o] { action = [o] { return runCheck(*o); }; });
}

} // namespace qorvan::cli
