// What a person meets at the shell: output that cannot be written is an
// error, batch edits are all or nothing, append checks what it is given.
#include <gtest/gtest.h>

#include <filesystem>

#include "store/library.h"
#include "tests/cli/support.h"
#include "tests/slide/slide_builder.h"
#include "tests/support/tempdir.h"

namespace qorvan::testing {
namespace {

    namespace fs = std::filesystem;

    std::string slideBytes(int width)
    {
        return SlideBytes::newForm(width, 100).vector(0, 0, width, 100).end().b;
    }

    struct Shell : TempDir {
        RunResult q(const std::vector<std::string>& args) const { return qorvan(args, str()); }
        // A program whose standard output is redirected by the shell.
        RunResult sh(const std::string& command) const { return run("/bin/sh", { "-c", command }, str()); }
        std::string file(const std::string& rel) const { return readFile(path() / rel); }
    };

    TEST(CliHabits, OutputThatCannotBeWrittenIsAnError)
    {
        if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
        Shell s;
        s.write("parts.slb", makeLibrary({ { "BOX", slideBytes(10) }, { "GEAR", slideBytes(20) } }));
        const std::string qorvanBin = binary("qorvan");
        const std::string console = binary("qorvan-console");
        struct Case {
            std::string command;
            std::string program;
        };
        const Case cases[] = {
            { "'" + qorvanBin + "' list parts > /dev/full", "qorvan" },
            { "'" + qorvanBin + "' list --json parts > /dev/full", "qorvan" },
            { "'" + qorvanBin + "' --help > /dev/full", "qorvan" },
            { "'" + console + "' --no-default-module -e '(+ 1 2)' > /dev/full", "qorvan-console" },
        };
        for (const Case& c : cases) {
            RunResult r = s.sh(c.command);
            EXPECT_EQ(r.status, 1) << c.command;
            EXPECT_EQ(r.err, c.program + ": cannot write standard output: No space left on device\n")
                << c.command;
        }
        // The same commands into a pipe that reads everything succeed.
        EXPECT_EQ(s.q({ "list", "parts" }).status, 0);
    }

} // namespace
} // namespace qorvan::testing
