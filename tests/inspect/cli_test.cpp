// qorvan dump, build, diff, salvage and convert as a user runs them: the
// examples of docs/cli.md, git showing slides through the text form, exit
// statuses, and salvage refusing to write over what it reads.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/e2e/run.h"
#include "tests/inspect/files.h"
#include "tests/support/tempdir.h"

namespace qorvan::testing {
namespace {

    std::string qorvanPath()
    {
        return binary("qorvan");
    }

    // A shell script in dir with qorvan on the PATH; standard error joins
    // standard output, as a terminal shows them.
    RunResult shell(const std::string& script, const std::string& dir)
    {
        const std::string bin = std::filesystem::path(qorvanPath()).parent_path().string();
        return run(
            "/bin/sh", { "-c", "PATH='" + bin + "':$PATH; export PATH; { " + script + "\n} 2>&1" }, dir);
    }

    struct Command {
        int line = 0;
        std::string script, expected;
    };

    // The ```console blocks of docs/cli.md: "$ " lines are typed (a here
    // document runs on to its terminator), the lines after them are printed.
    std::vector<Command> documentedCommands()
    {
        std::istringstream doc(readFile(std::string(QORVAN_SOURCE_DIR) + "/docs/cli.md"));
        std::vector<Command> out;
        std::string line, hereEnd;
        bool inBlock = false;
        int number = 0;
        while (std::getline(doc, line)) {
            ++number;
            if (!inBlock) {
                inBlock = line == "```console";
                continue;
            }
            if (!hereEnd.empty()) {
                out.back().script += line + "\n";
                if (line == hereEnd) hereEnd.clear();
                continue;
            }
            if (line == "```") {
                inBlock = false;
            } else if (line.rfind("$ ", 0) == 0) {
                out.push_back({ number, line.substr(2) + "\n", "" });
                std::size_t here = line.find("<<'");
                if (here != std::string::npos)
                    hereEnd = line.substr(here + 3, line.find('\'', here + 3) - here - 3);
            } else if (!out.empty()) {
                out.back().expected += line + "\n";
            }
        }
        return out;
    }

    TEST(InspectDocs, EveryExampleRunsAsShown)
    {
        const std::vector<Command> commands = documentedCommands();
        ASSERT_GE(commands.size(), 12u);
        TempDir dir;
        for (const Command& c : commands) {
            RunResult r = shell(c.script, dir.str());
            EXPECT_EQ(r.out, c.expected) << "docs/cli.md line " << c.line << ": " << c.script;
        }
    }

    bool haveGit()
    {
        return run("/bin/sh", { "-c", "command -v git" }).status == 0;
    }

    TEST(InspectGit, TextconvShowsSlideAndLibraryChangesInDiffAndLog)
    {
        if (!haveGit()) GTEST_SKIP() << "git is not installed";
        TempDir dir;
        const std::string q = "'" + qorvanPath() + "'";
        dir.write(".gitattributes", "*.sld diff=qorvan\n*.SLD diff=qorvan\n*.slb diff=qorvan\n");
        dir.write("box.txt", "qorvan-slide 1\nxdots 200\nydots 100\ncolour 1\nvector 10 10 190 10\nend\n");
        RunResult setup
            = shell("git init -q . && git config user.email t@example.invalid && git config user.name T && "
                    "git config diff.qorvan.textconv \""
                    + q + " dump --no-offsets\" && " + q + " build box.txt -o box.sld && " + q
                    + " create parts.slb && " + q
                    + " append parts.slb box.sld && git add . && git commit -qm first",
                dir.str());
        ASSERT_EQ(setup.status, 0) << setup.out;
        RunResult edit
            = shell("sed -i 's/^colour 1/colour 3/' box.txt && " + q + " build box.txt -o box.sld && " + q
                    + " replace parts.slb box.sld && git commit -qam second",
                dir.str());
        ASSERT_EQ(edit.status, 0) << edit.out;

        RunResult diff = shell("git diff HEAD~1 HEAD -- box.sld", dir.str());
        EXPECT_EQ(diff.status, 0);
        EXPECT_NE(diff.out.find("\n-colour 1\n"), std::string::npos) << diff.out;
        EXPECT_NE(diff.out.find("\n+colour 3\n"), std::string::npos) << diff.out;
        EXPECT_EQ(diff.out.find("Binary files"), std::string::npos) << diff.out;

        RunResult log = shell("git log -p -1 -- parts.slb", dir.str());
        EXPECT_NE(log.out.find("\n-colour 1\n"), std::string::npos) << log.out;
        EXPECT_NE(log.out.find("\n+colour 3\n"), std::string::npos) << log.out;
        // One changed record changes one line of the text, plus the hunk around it.
        std::size_t changed = 0;
        std::istringstream lines(log.out);
        for (std::string l; std::getline(lines, l);)
            changed += (l[0] == '+' || l[0] == '-') && l.rfind("+++", 0) != 0 && l.rfind("---", 0) != 0;
        EXPECT_EQ(changed, 2u) << log.out;
    }

    TEST(InspectCli, DiffExitStatusIsDiffs)
    {
        TempDir dir;
        dir.write("a.txt", "qorvan-slide 1\nxdots 10\nydots 10\nend\n");
        dir.write("b.txt", "qorvan-slide 1\nxdots 10\nydots 11\nend\n");
        ASSERT_EQ(shell("qorvan build a.txt -o A.SLD && qorvan build b.txt -o B.SLD && cp A.SLD C.SLD && "
                        "qorvan create lib.slb && qorvan append lib.slb A.SLD",
                      dir.str())
                      .status,
            0);
        struct Case {
            const char* args;
            int status;
            const char* says;
        };
        const Case cases[] = {
            { "A.SLD C.SLD", 0, "" },
            { "A.SLD B.SLD", 1, "+ ydots 11" },
            { "A.SLD lib.slb", 2, "is a slide and lib.slb a library" },
            { "A.SLD NOSUCH.SLD", 2, "NOSUCH.SLD: no such slide or library" },
            { "lib.slb lib.slb", 0, "" },
        };
        for (const Case& c : cases) {
            RunResult r = shell(std::string("qorvan diff ") + c.args, dir.str());
            EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.out;
            EXPECT_NE(r.out.find(c.says), std::string::npos) << c.args << "\n" << r.out;
            if (c.status == 0) {
                EXPECT_EQ(r.out, "") << c.args;
            }
        }
    }

    TEST(InspectCli, SalvageNeverWritesOverItsInput)
    {
        TempDir dir;
        dir.write("a.txt", "qorvan-slide 1\nxdots 10\nydots 10\ncolour 1\nend\n");
        ASSERT_EQ(
            shell("qorvan build a.txt -o A.SLD && qorvan create lib.slb && qorvan append lib.slb A.SLD && "
                  "ln -s lib.slb link.slb && mkdir out && ln -s ../lib.slb out/A.SLD",
                dir.str())
                .status,
            0);
        const std::string before = readFile(dir.path() / "lib.slb");
        for (const char* target : { "-o lib.slb", "-o link.slb", "-o ./LIB.SLB.", "-d out" }) {
            RunResult r = shell(std::string("qorvan salvage lib.slb ") + target, dir.str());
            if (std::string(target) == "-o ./LIB.SLB.") continue; // another file on a case-sensitive system
            EXPECT_EQ(r.status, 1) << target << "\n" << r.out;
            EXPECT_NE(r.out.find("never writes over its input"), std::string::npos) << target << "\n"
                                                                                    << r.out;
            EXPECT_EQ(readFile(dir.path() / "lib.slb"), before) << target;
        }
        RunResult loose = shell("qorvan salvage lib.slb -d loose && cmp loose/A.SLD A.SLD", dir.str());
        EXPECT_EQ(loose.status, 0) << loose.out;
    }

    // A pipe has no length to ask for; it is read to its end. A device or a
    // folder is refused by name, with the reason.
    TEST(InspectCli, PipesAreReadWholeDevicesAndFoldersRefused)
    {
        TempDir dir;
        dir.write("a.txt", "qorvan-slide 1\nxdots 10\nydots 10\ncolour 1\nvector 1 1 8 8\nend\n");
        ASSERT_EQ(
            shell("qorvan build a.txt -o A.SLD && qorvan create lib.slb && qorvan append lib.slb A.SLD && "
                  "qorvan dump lib.slb > lib.txt && qorvan dump A.SLD > a.dump",
                dir.str())
                .status,
            0);
        struct Case {
            const char* script;
            int status;
            const char* says; // in the output ("" for a silent success)
        };
        const Case cases[] = {
            { "cat lib.slb | qorvan dump /dev/stdin | cmp - lib.txt", 0, "" },
            { "cat A.SLD | qorvan dump /dev/stdin | cmp - a.dump", 0, "" },
            { "mkfifo fifo && { cat lib.slb > fifo & } && qorvan dump fifo | cmp - lib.txt", 0, "" },
            { "cat a.dump | qorvan build /dev/stdin -o B.SLD && cmp A.SLD B.SLD", 0, "" },
            { "cat lib.slb | qorvan salvage /dev/stdin -o s.slb >/dev/null 2>&1 && qorvan list s.slb", 0,
                "A\n" },
            { "cat lib.slb | qorvan diff /dev/stdin lib.slb", 0, "" },
            { "qorvan dump /dev/null", 1, "qorvan: /dev/null: a device, not a file or a pipe\n" },
            { "qorvan build /dev/null -o C.SLD", 1, "qorvan: /dev/null: a device, not a file or a pipe\n" },
            { "mkdir -p d && qorvan dump d", 1, "qorvan: d: a folder, not a file\n" },
            { "qorvan salvage /dev/zero -o z.slb", 1, "qorvan: /dev/zero: a device, not a file or a pipe\n" },
        };
        for (const Case& c : cases) {
            RunResult r = shell(c.script, dir.str());
            EXPECT_EQ(r.status, c.status) << c.script << "\n" << r.out;
            EXPECT_EQ(r.out, c.says) << c.script;
        }
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "C.SLD"));
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "z.slb"));
    }

    TEST(InspectCli, DumpAndBuildGiveBackEveryRealLibrary)
    {
        std::vector<std::filesystem::path> files = realSlideFiles(".slb");
        if (files.empty()) GTEST_SKIP() << "no real files in " << QORVAN_TESTDATA_DIR;
        TempDir dir;
        for (const auto& p : files) {
            RunResult r = shell("qorvan dump '" + p.string()
                    + "' -o t.txt && qorvan build t.txt -o back.slb && cmp '" + p.string() + "' back.slb",
                dir.str());
            EXPECT_EQ(r.status, 0) << p << "\n" << r.out;
        }
    }

} // namespace
} // namespace qorvan::testing
