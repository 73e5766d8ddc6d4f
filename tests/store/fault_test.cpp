// Every editing operation with each of its I/O calls failing in turn: the
// library is as before or completely updated, a failure is reported as one,
// and a temporary file stays only when it is the one complete new copy.
#include "platform/io.h"
#include "store/edit.h"
#include "store_fixture.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>

using namespace qorvan;
using namespace qorvan::testing;
namespace faults = qorvan::platform::faults;
using qorvan::platform::IoOp;

namespace {

struct Scenario {
    const char* name;
    std::function<void()> setUp;
    std::function<int()> run;
    // Files whose content is checked: each must be one of its two states.
    std::vector<std::string> watched;
};

class FaultTest : public StoreTest {
protected:
    using StoreTest::write;
    void clear()
    {
        for (const auto& e : std::filesystem::directory_iterator(dir_.path()))
            std::filesystem::remove_all(e.path());
    }
    std::map<std::string, std::string> snapshot() const
    {
        std::map<std::string, std::string> out;
        for (const std::string& f : files())
            if (std::filesystem::is_regular_file(dir_.path() / f)) out[f] = read(f);
        return out;
    }

    void check(const Scenario& s)
    {
        clear();
        s.setUp();
        const auto before = snapshot();
        faults::resetCounts();
        ASSERT_EQ(s.run(), Ok) << statusMessage();
        const auto after = snapshot();
        unsigned counts[platform::IO_OP_COUNT];
        for (int op = 0; op < platform::IO_OP_COUNT; ++op)
            counts[op] = faults::calls(static_cast<IoOp>(op));

        int trials = 0;
        for (int op = 0; op < platform::IO_OP_COUNT; ++op) {
            for (unsigned n = 1; n <= counts[op]; ++n) {
                SCOPED_TRACE(std::string(s.name) + ": " + platform::ioOpName(static_cast<IoOp>(op)) + " #"
                    + std::to_string(n));
                clear();
                s.setUp();
                setStatus(Ok, nullptr, nullptr);
                faults::resetCounts();
                faults::arm(static_cast<IoOp>(op), n);
                int code = s.run();
                bool fired = faults::fired();
                faults::disarm();
                ++trials;
                const auto now = snapshot();
                bool complete = true;
                for (const std::string& w : s.watched) {
                    auto b = before.find(w), a = after.find(w), c = now.find(w);
                    bool asBefore
                        = (b == before.end()) ? c == now.end() : (c != now.end() && c->second == b->second);
                    bool asAfter = c != now.end() && a != after.end() && c->second == a->second;
                    EXPECT_TRUE(asBefore || asAfter) << w << " is neither as before nor as after";
                    complete = complete && asAfter;
                }
                if (code != Ok) {
                    EXPECT_NE(lastStatus(), Ok);
                } else {
                    EXPECT_TRUE(complete) << "success reported, but not done";
                }
                if (!fired) {
                    EXPECT_EQ(code, Ok);
                }
                for (const auto& [f, bytes] : now) {
                    if (before.count(f) || after.count(f)) continue;
                    // A leftover may only be the complete new library whose
                    // rename failed.
                    bool isCompleteCopy = false;
                    for (const std::string& w : s.watched)
                        if (after.count(w) && after.at(w) == bytes) isCompleteCopy = true;
                    EXPECT_TRUE(isCompleteCopy && code != Ok) << "stray file " << f;
                }
            }
        }
        EXPECT_GT(trials, 3) << s.name;
    }
};

// Writes a file relative to the test's current folder.
void put(const std::string& rel, const std::string& bytes)
{
    std::ofstream(rel, std::ios::binary) << bytes;
}

const std::string BOX = slideBytes("box", 70000);
const std::string PIN = slideBytes("pin", 300);
const std::string GEAR = slideBytes("gear", 1234);

TEST_F(FaultTest, EveryOperationEveryCall)
{
    auto withLibrary = [](std::vector<Slide> slides) {
        return [slides] {
            put("parts.slb", makeLibrary(slides));
            put("gear.sld", GEAR);
            std::filesystem::create_directories("out");
        };
    };
    const Scenario scenarios[] = {
        { "create", [] {}, [] { return createLibrary("parts"); }, { "parts.slb" } },
        { "append to a new library", [] { put("gear.sld", GEAR); },
            [] { return appendSlide("parts", "gear"); }, { "parts.slb" } },
        { "append", withLibrary({ { "BOX", BOX }, { "PIN", PIN } }),
            [] { return appendSlide("parts", "gear.sld"); }, { "parts.slb" } },
        { "append to an empty library", withLibrary({}), [] { return appendSlide("parts", "gear.sld"); },
            { "parts.slb" } },
        { "delete", withLibrary({ { "BOX", BOX }, { "PIN", PIN } }),
            [] { return deleteSlide("parts", "box"); }, { "parts.slb" } },
        { "delete the only slide", withLibrary({ { "BOX", BOX } }),
            [] { return deleteSlide("parts", "box"); }, { "parts.slb" } },
        { "rename", withLibrary({ { "BOX", BOX }, { "PIN", PIN } }),
            [] { return renameSlide("parts", "pin", "nut"); }, { "parts.slb" } },
        { "replace", withLibrary({ { "GEAR", "old" }, { "PIN", PIN } }),
            [] { return replaceSlide("parts", "gear.sld"); }, { "parts.slb" } },
        { "extract", withLibrary({ { "BOX", BOX }, { "PIN", PIN } }),
            [] { return extractSlide("parts", "box", "out"); }, { "out/BOX.SLD", "parts.slb" } },
        { "explode", withLibrary({ { "BOX", BOX }, { "PIN", PIN } }),
            [] { return explodeLibrary("parts", "out"); }, { "out/BOX.SLD", "out/PIN.SLD", "parts.slb" } },
        { "remove", withLibrary({ { "BOX", BOX }, { "PIN", PIN } }),
            [] { return removeSlide("parts", "pin", "out"); }, { "out/PIN.SLD", "parts.slb" } },
        // Batches: one rewrite for all their slides, so all or nothing.
        { "append several",
            [] {
                put("parts.slb", makeLibrary({ { "BOX", BOX } }));
                put("gear.sld", GEAR);
                put("pin.sld", PIN);
            },
            [] {
                return appendSlides("parts", { "gear.sld", "pin" }, {}).code;
            },
            { "parts.slb" } },
        { "append several to a new library",
            [] {
                put("gear.sld", GEAR);
                put("pin.sld", PIN);
            },
            [] {
                return appendSlides("parts", { "gear.sld", "pin" }, {}).code;
            },
            { "parts.slb" } },
        { "delete several", withLibrary({ { "BOX", BOX }, { "PIN", PIN }, { "GEAR", GEAR } }),
            [] {
                return deleteSlides("parts", { "box", "GEAR" }, {}).code;
            },
            { "parts.slb" } },
        { "replace several",
            [] {
                put("parts.slb", makeLibrary({ { "GEAR", "old" }, { "BOX", BOX } }));
                put("gear.sld", GEAR);
                put("pin.sld", PIN);
            },
            [] {
                return replaceSlides("parts", { "gear.sld", "pin.sld" }, {}).code;
            },
            { "parts.slb" } },
        { "remove several", withLibrary({ { "BOX", BOX }, { "PIN", PIN }, { "GEAR", GEAR } }),
            [] {
                return removeSlides("parts", { "pin", "box" }, "out", {}).code;
            },
            { "out/PIN.SLD", "out/BOX.SLD", "parts.slb" } },
    };
    for (const Scenario& s : scenarios)
        check(s);
}

// A replace takes the old slide out and puts the new one in with one
// rewrite: whichever write fails, the library holds GEAR, old or new.
TEST_F(FaultTest, ReplaceNeverLeavesTheLibraryWithoutTheSlide)
{
    for (unsigned n = 1; n <= 12; ++n) {
        SCOPED_TRACE(n);
        clear();
        write("parts.slb", makeLibrary({ { "GEAR", "old" }, { "PIN", PIN } }));
        write("gear.sld", GEAR);
        faults::resetCounts();
        faults::arm(IoOp::Write, n);
        int code = replaceSlide("parts", "gear.sld");
        faults::disarm();
        auto slides = parseLibrary(read("parts.slb"));
        ASSERT_EQ(slides.size(), 2u);
        if (code == Ok) {
            EXPECT_EQ(slides[1].bytes, GEAR);
        } else {
            EXPECT_EQ(slides[0].bytes, "old");
        }
    }
}

} // namespace

namespace {

// The rename replaces the library in one step, so when it fails the old
// library is still whole and the temporary file is no one's only copy.
TEST_F(FaultTest, AFailedRenameKeepsTheLibraryAndLeavesNoTemporary)
{
    const std::string before = makeLibrary({ { "BOX", "box" } });
    write("parts.slb", before);
    write("gear.sld", GEAR);
    faults::resetCounts();
    faults::arm(IoOp::Rename, 1);
    EXPECT_EQ(appendSlide("parts", "gear"), CannotOpen);
    faults::disarm();
    EXPECT_STREQ(statusMessage(), "\"parts.slb\": Can't open file");
    EXPECT_EQ(read("parts.slb"), before);
    EXPECT_FALSE(exists("parts.tmp"));
}

TEST_F(FaultTest, AFailedWriteNamesAndRemovesTheTemporaryFile)
{
    std::filesystem::create_directories("lib");
    write("lib/parts.slb", makeLibrary({ { "BOX", "box" } }));
    write("gear.sld", GEAR);
    faults::resetCounts();
    faults::arm(IoOp::Write, 2);
    EXPECT_EQ(appendSlide("lib\\parts", "gear"), CannotOpen);
    faults::disarm();
    EXPECT_STREQ(statusMessage(), "\"lib\\parts.tmp\": Can't open file");
    EXPECT_EQ(files(), (std::vector<std::string> { "gear.sld", "lib", "lib/parts.slb" }));
}

} // namespace
