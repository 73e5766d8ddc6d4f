// The habits of both programs: --version and -V, qorvan help [COMMAND],
// usage lines that name the program, and the shell completion that qorvan
// generates from its own parser.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <sstream>

#include "qorvan_version.h"
#include "support.h"
#include "tests/support/tempdir.h"

namespace qorvan::testing {
namespace {

    const std::vector<std::string> COMMANDS
        = { "list", "create", "append", "delete", "extract", "explode", "remove", "replace", "rename", "info",
              "check", "render", "convert", "gallery", "help", "completion" };

    TEST(CliHabits, BothProgramsSayTheirVersion)
    {
        TempDir t;
        for (const std::string program : { "qorvan", "qorvan-console" }) {
            if (!std::filesystem::exists(binary(program))) continue; // a build without the console
            for (const std::string flag : { "-V", "--version" }) {
                RunResult r = run(binary(program), { flag }, t.str());
                EXPECT_EQ(r.status, 0) << program << " " << flag;
                EXPECT_EQ(r.out, program + " " + QORVAN_VERSION + "\n") << program << " " << flag;
            }
        }
    }

    // The commands the top-level help lists, in its order.
    std::vector<std::string> listedCommands(const std::string& help)
    {
        std::vector<std::string> out;
        std::istringstream in(help.substr(help.find("Subcommands:")));
        for (std::string line; std::getline(in, line);)
            if (line.rfind("  ", 0) == 0 && line.size() > 2 && line[2] != ' ')
                out.push_back(line.substr(2, line.find(' ', 2) - 2));
        return out;
    }

    // qorvan COMMAND --help parses with only that command's group built, the
    // help command with every command: each listed command must read the
    // same both ways.
    TEST(CliHabits, HelpCommandPrintsWhatHelpOptionPrints)
    {
        TempDir t;
        RunResult top = qorvan({ "help" }, t.str());
        EXPECT_EQ(top.status, 0);
        EXPECT_EQ(top.out, qorvan({ "--help" }, t.str()).out);
        const std::vector<std::string> listed = listedCommands(top.out);
        for (const std::string& c : COMMANDS)
            EXPECT_NE(std::find(listed.begin(), listed.end(), c), listed.end()) << c;
        for (const std::string& c : listed) {
            RunResult viaHelp = qorvan({ "help", c }, t.str());
            RunResult viaOption = qorvan({ c, "--help" }, t.str());
            EXPECT_EQ(viaHelp.status, 0) << c << ": " << viaHelp.err;
            EXPECT_FALSE(viaHelp.out.empty()) << c;
            EXPECT_EQ(viaHelp.out, viaOption.out) << c;
        }
        RunResult bad = qorvan({ "help", "nosuch" }, t.str());
        EXPECT_EQ(bad.status, 2);
        EXPECT_NE(bad.err.find("\"nosuch\""), std::string::npos) << bad.err;
    }

    TEST(CliHabits, UsageLinesNameTheProgramNotItsPath)
    {
        TempDir t;
        const std::regex usage("Usage: ([^ \n]*)");
        for (const std::vector<std::string>& args : std::vector<std::vector<std::string>> {
                 { "--help" }, { "list", "--help" }, { "render", "--help" }, { "help", "info" } }) {
            RunResult r = qorvan(args, t.str());
            std::smatch m;
            const std::string text = r.out + r.err;
            ASSERT_TRUE(std::regex_search(text, m, usage)) << args[0] << ": " << text;
            EXPECT_EQ(m[1], "qorvan") << args[0];
            EXPECT_EQ(text.find(QORVAN_BINARY_DIR), std::string::npos) << text;
        }
    }

    // What bash offers for the words typed so far (the last one is being typed).
    std::set<std::string> bashOffers(const std::string& script, const std::vector<std::string>& words)
    {
        TempDir t;
        t.write("qorvan.bash", script);
        std::string line = "source qorvan.bash; COMP_WORDS=(";
        for (const std::string& w : words)
            line += "'" + w + "' ";
        line += "); COMP_CWORD=" + std::to_string(words.size() - 1)
            + "; _qorvan; printf '%s\\n' \"${COMPREPLY[@]}\"";
        RunResult r = run("/bin/bash", { "--norc", "-c", line }, t.str());
        EXPECT_EQ(r.status, 0) << r.err;
        std::set<std::string> out;
        std::istringstream in(r.out);
        for (std::string w; std::getline(in, w);)
            if (!w.empty()) out.insert(w);
        return out;
    }

    std::set<std::string> optionsIn(const std::string& help)
    {
        std::set<std::string> out;
        const std::regex option("(^|[ ,])(--?[A-Za-z][A-Za-z0-9-]*)");
        for (std::sregex_iterator i(help.begin(), help.end(), option), end; i != end; ++i)
            out.insert((*i)[2]);
        return out;
    }

    TEST(CliCompletion, BashOffersWhatTheParserAccepts)
    {
        if (!std::filesystem::exists("/bin/bash")) GTEST_SKIP() << "no bash";
        TempDir t;
        RunResult gen = qorvan({ "completion", "bash" }, t.str());
        ASSERT_EQ(gen.status, 0) << gen.err;

        std::set<std::string> commands = bashOffers(gen.out, { "qorvan", "" });
        for (const std::string& c : COMMANDS)
            EXPECT_TRUE(commands.count(c)) << c;
        EXPECT_EQ(bashOffers(gen.out, { "qorvan", "re" }),
            (std::set<std::string> { "remove", "replace", "rename", "render" }));

        // Every option a command's --help names is offered after a dash.
        for (const std::string& c : COMMANDS) {
            std::set<std::string> offered = bashOffers(gen.out, { "qorvan", c, "-" });
            for (const std::string& o : optionsIn(qorvan({ c, "--help" }, t.str()).out))
                EXPECT_TRUE(offered.count(o)) << c << " " << o;
        }
        EXPECT_EQ(bashOffers(gen.out, { "qorvan", "render", "x.sld", "--background", "" }),
            (std::set<std::string> { "black", "white", "none" }));
        EXPECT_EQ(bashOffers(gen.out, { "qorvan", "help", "expl" }), (std::set<std::string> { "explode" }));

        t.write("parts.slb", "");
        t.write("pictures/a.png", "");
        std::set<std::string> files = bashOffers(gen.out, { "qorvan", "list", t.str("pa") });
        EXPECT_EQ(files, (std::set<std::string> { t.str("parts.slb") }));
    }

    TEST(CliCompletion, ZshScriptIsValidAndNamesEveryCommand)
    {
        TempDir t;
        RunResult gen = qorvan({ "completion", "zsh" }, t.str());
        ASSERT_EQ(gen.status, 0) << gen.err;
        EXPECT_EQ(gen.out.rfind("#compdef qorvan\n", 0), 0u);
        for (const std::string& c : COMMANDS)
            EXPECT_NE(gen.out.find("'" + c + ":"), std::string::npos) << c;
        if (!std::filesystem::exists("/usr/bin/zsh")) GTEST_SKIP() << "no zsh to check the syntax";
        t.write("_qorvan", gen.out);
        RunResult r = run("/usr/bin/zsh", { "-n", t.str("_qorvan") }, t.str());
        EXPECT_EQ(r.status, 0) << r.err;

        RunResult bad = qorvan({ "completion", "fish" }, t.str());
        EXPECT_EQ(bad.status, 2);
    }

} // namespace
} // namespace qorvan::testing
