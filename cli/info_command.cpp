// qorvan info: what a slide or a library holds, as text or JSON.
#include <CLI/CLI.hpp>

#include <cstdio>

#include "cli/commands.h"
#include "cli/common.h"
#include "slide/analysis.h"
#include "slide/slide_source.h"
#include "store/status.h"

namespace qorvan::cli {

namespace {

    struct InfoOptions {
        std::vector<std::string> targets;
        bool json = false;
    };

    std::string checkText(StatusCode code)
    {
        if (code == Ok) return "ok";
        setStatus(code, nullptr, nullptr);
        return statusMessage();
    }

    std::string formatAspect(double v)
    {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.6g", v);
        return buf;
    }

    std::string slideJson(const SlideAnalysis& a, const std::string& indent)
    {
        const auto& h = a.header;
        std::string s = "{\n";
        auto field = [&](const std::string& k, const std::string& v, bool last = false) {
            s += indent + "  " + jsonString(k) + ": " + v + (last ? "\n" : ",\n");
        };
        field("form", h.complete ? (h.oldForm ? "\"old\"" : "\"new\"") : "null");
        field("level", std::to_string(h.level));
        field("xDots", std::to_string(h.xDots));
        field("yDots", std::to_string(h.yDots));
        field("aspect", formatAspect(h.aspect));
        field("fillFlag", std::to_string(h.fillFlag));
        field("byteOrder", a.order.order == slide::ByteOrder::Little ? "\"little\"" : "\"big\"");
        field("headerCheck", std::to_string(a.headerCheck));
        field("headerMessage", jsonString(checkText(a.headerCheck) == "ok" ? "" : checkText(a.headerCheck)));
        std::string counts = "{";
        for (int k = 0; k < slide::RECORD_KINDS; ++k)
            counts += (k ? ", " : "") + jsonString(slide::recordKindName(static_cast<slide::RecordKind>(k)))
                + ": " + std::to_string(a.counts[static_cast<std::size_t>(k)]);
        field("records", counts + "}");
        field("endRecord", a.walk.endRecord ? "true" : "false");
        field("cutShort", a.walk.cutShort ? "true" : "false");
        if (a.drawn)
            field("drawnExtent",
                "{\"minX\": " + std::to_string(a.minX) + ", \"minY\": " + std::to_string(a.minY)
                    + ", \"maxX\": " + std::to_string(a.maxX) + ", \"maxY\": " + std::to_string(a.maxY) + "}",
                true);
        else
            field("drawnExtent", "null", true);
        return s + indent + "}";
    }

    std::string slideText(const SlideAnalysis& a, const std::string& indent)
    {
        const auto& h = a.header;
        std::string s;
        auto line = [&](const std::string& k, const std::string& v) { s += indent + k + ": " + v + "\n"; };
        if (!h.complete) {
            line("header", "cut short (" + std::string(h.headerSize ? "" : "no level byte") + ")");
        } else {
            line("form", h.oldForm ? "old (34-byte header)" : "new (31-byte header)");
            line("level", std::to_string(h.level));
            line("xDots", std::to_string(h.xDots));
            line("yDots", std::to_string(h.yDots));
            line("aspect", formatAspect(h.aspect));
            line("fill flag", std::to_string(h.fillFlag));
        }
        line("byte order", byteOrderText(a.order));
        line("header check", checkText(a.headerCheck));
        std::size_t total = 0;
        std::string parts;
        for (int k = 0; k < slide::RECORD_KINDS; ++k) {
            std::size_t n = a.counts[static_cast<std::size_t>(k)];
            total += n;
            if (n)
                parts += (parts.empty() ? "" : ", ") + std::to_string(n) + " "
                    + slide::recordKindName(static_cast<slide::RecordKind>(k));
        }
        line("records", std::to_string(total) + (parts.empty() ? "" : " (" + parts + ")"));
        line("end",
            a.walk.endRecord      ? "end record"
                : a.walk.cutShort ? "record cut short at byte " + std::to_string(a.walk.stopOffset)
                                  : "no end record");
        line("drawn extent",
            a.drawn ? "x " + std::to_string(a.minX) + ".." + std::to_string(a.maxX) + ", y "
                    + std::to_string(a.minY) + ".." + std::to_string(a.maxY)
                    : "nothing drawn");
        return s;
    }

    // What became of one entry's slide in the file: the header check's word,
    // or the damage that keeps the slide from being whole.
    std::string entryState(
        const ScannedEntry& e, const LoadedSlide& s, const SlideAnalysis& a, std::size_t fileSize)
    {
        if (e.offset < 0 || static_cast<std::uint64_t>(e.offset) >= fileSize)
            return "damaged: its offset is past the end of the file";
        if (e.size <= 0) return "damaged: the next entry's slide starts before this one";
        // Its entry gives it more bytes than the file holds: the file was cut.
        if (static_cast<std::int64_t>(s.bytes.size()) < e.size)
            return "damaged: cut short (" + std::to_string(s.bytes.size()) + " of " + std::to_string(e.size)
                + " bytes)";
        if (a.walk.cutShort)
            return "damaged: cut short at byte "
                + std::to_string(static_cast<std::int64_t>(a.walk.stopOffset) + s.offset);
        return checkText(a.headerCheck);
    }

    // What one operand holds, into out; false, with the failure said, when
    // it cannot be read.
    bool infoOne(const std::string& target, bool json, std::string& out)
    {
        resetStatus();
        Input in = findInput(target);
        if (in.kind == InputKind::Missing) {
            failIn("info", missingText(target));
            return false;
        }
        if (in.kind == InputKind::Library) {
            LibraryScan scan = scanLibrary(in.bytes);
            if (!scan.magic) {
                setStatus(InvalidLibrary, nullptr, nullptr);
                failWithStatus(target, in.path);
                return false;
            }
            if (json) {
                out = "{\n  \"library\": " + jsonString(in.path) + ",\n  \"slides\": [";
                for (std::size_t i = 0; i < scan.entries.size(); ++i) {
                    const ScannedEntry& e = scan.entries[i];
                    LoadedSlide s = sliceSlide(in.bytes, e.offset, e.size, e.name);
                    SlideAnalysis a = analyseSlide(s.bytes, s.order);
                    const std::string state = entryState(e, s, a, in.bytes.size());
                    out += std::string(i ? ",\n" : "\n") + "    {\"name\": " + jsonString(e.name)
                        + ", \"offset\": " + std::to_string(e.offset)
                        + ", \"size\": " + std::to_string(s.bytes.size()) + ", \"damage\": "
                        + (state.rfind("damaged: ", 0) == 0 ? jsonString(state.substr(9))
                                                            : std::string("null"))
                        + ", \"headerCheck\": " + std::to_string(a.headerCheck)
                        + ", \"slide\": " + slideJson(a, "    ") + "}";
                }
                out += scan.entries.empty() ? "]\n}\n" : "\n  ]\n}\n";
            } else {
                out = "library " + shown(in.path, stdout) + ": " + std::to_string(scan.entries.size())
                    + " slide" + (scan.entries.size() == 1 ? "" : "s") + "\n";
                if (const std::string why = libraryDamageText(in.path, target); !why.empty())
                    out += "  damaged: " + why + "\n";
                for (const ScannedEntry& e : scan.entries) {
                    LoadedSlide s = sliceSlide(in.bytes, e.offset, e.size, e.name);
                    SlideAnalysis a = analyseSlide(s.bytes, s.order);
                    char buf[96];
                    std::snprintf(buf, sizeof buf, "%-31s offset %10lld size %8lld  ",
                        shown(e.name, stdout).c_str(), static_cast<long long>(e.offset),
                        static_cast<long long>(s.bytes.size()));
                    out += buf + entryState(e, s, a, in.bytes.size()) + "\n";
                }
            }
        } else {
            LoadedSlide s;
            if (in.kind == InputKind::LibrarySlide) {
                if (loadSlideRef(in.path, s) != Ok) {
                    failWithStatus(in.path);
                    return false;
                }
            } else {
                s.label = in.path;
                s.bytes = std::move(in.bytes);
                s.order = slide::detectByteOrder(s.bytes.data(), s.bytes.size());
            }
            SlideAnalysis a = analyseSlide(s.bytes, s.order);
            if (json)
                out = "{\n  \"slide\": " + jsonString(s.label) + ",\n  \"size\": "
                    + std::to_string(s.bytes.size()) + ",\n  \"header\": " + slideJson(a, "  ") + "\n}\n";
            else
                out = "slide " + shown(s.label, stdout) + ": " + std::to_string(s.bytes.size()) + " bytes\n"
                    + slideText(a, "  ");
        }
        resetStatus();
        return true;
    }

    // Several operands as list takes them: each described in turn (its own
    // first line is its heading), a blank line between; with --json, an
    // array of the documents. One that cannot be read is said and left out.
    int runInfo(const InfoOptions& o)
    {
        const bool several = o.targets.size() > 1;
        std::string out;
        bool failed = false;
        std::size_t described = 0;
        for (const std::string& target : o.targets) {
            std::string one;
            if (!infoOne(target, o.json, one)) {
                failed = true;
                continue;
            }
            if (several && o.json) {
                one.pop_back(); // the newline after the document
                out += std::string(described ? ",\n" : "[\n") + one;
            } else {
                out += std::string(described ? "\n" : "") + one;
            }
            ++described;
        }
        if (several && o.json) out += described ? "\n]\n" : "[]\n";
        std::fwrite(out.data(), 1, out.size(), stdout);
        return failed ? EXIT_FAILED : EXIT_OK;
    }

} // namespace

void addInfoCommand(CommandSet& commands, Action& action)
{
    auto o = std::make_shared<InfoOptions>();
    CLI::App* c = commands.add("info", "Describe slides (files or LIBRARY(NAME)) and libraries");
    if (!c) return;
    c->add_option(
         "FILE", o->targets, "slide files, LIBRARY(NAME), or libraries; several are described in turn")
        ->required();
    c->add_flag("--json", o->json, "print JSON (for several, an array of the documents)");
    c->callback([&action, o] { action = [o] { return runInfo(*o); }; });
}

} // namespace qorvan::cli
