// The same operations through qorvan and through the AutoLISP functions of
// the module in qorvan-console: the same files afterwards and the same
// messages. Skipped when the console and the module are not built.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "tests/cli/support.h"
#include "tests/slide/slide_builder.h"
#include "tests/support/tempdir.h"

namespace qorvan::testing {
namespace {

    namespace fs = std::filesystem;

    // Every regular file under dir with its bytes, by relative path.
    std::map<std::string, std::string> contents(const fs::path& dir)
    {
        std::map<std::string, std::string> out;
        for (const auto& e : fs::recursive_directory_iterator(dir))
            if (e.is_regular_file()) out[fs::relative(e.path(), dir).string()] = readFile(e.path());
        return out;
    }

    TEST(CliAgainstAutoLisp, SameFilesAndMessages)
    {
        if (!fs::exists(binary("qorvan-console")) || !fs::exists(binary("qorvan.arx")))
            GTEST_SKIP() << "qorvan-console and qorvan.arx are not built here";
        struct Step {
            std::string lisp;
            std::vector<std::string> cli;
            bool fails;
        } steps[] = {
            { "(slb-append \"parts\" \"box\")", { "append", "parts", "box" }, false },
            { "(slb-append \"parts\" \"gear.sld\")", { "append", "parts", "gear.sld" }, false },
            { "(slb-append \"PARTS.SLB\" \"pin\")", { "append", "PARTS.SLB", "pin" }, false },
            { "(slb-append \"parts\" \"box\")", { "append", "parts", "box" }, true },
            { "(slb-delete \"parts\" \"gear\")", { "delete", "parts", "gear" }, false },
            { "(slb-delete \"parts\" \"bolt\")", { "delete", "parts", "bolt" }, true },
            { "(slb-extract \"parts\" \"pin\" \"out\")", { "extract", "parts", "pin", "-d", "out" }, false },
            { "(slb-replace \"parts\" \"box\")", { "replace", "parts", "box" }, false },
            { "(slb-explode \"parts\" \"out\")", { "explode", "parts", "-d", "out" }, false },
            { "(slb-remove \"parts\" \"pin\" \"out\")", { "remove", "parts", "pin", "-d", "out" }, false },
            { "(slb-list \"nosuch\")", { "list", "nosuch" }, true },
        };
        TempDir lisp, cli;
        for (const TempDir* d : { &lisp, &cli }) {
            d->write("box.sld", SlideBytes::newForm(100, 100).vector(0, 0, 100, 100).end().b);
            d->write("gear.sld", SlideBytes::newForm(200, 100).color(1).vector(10, 10, 190, 90).end().b);
            d->write("pin.sld", SlideBytes::newForm(50, 50).commonEndpoint(3, 4).end().b);
            fs::create_directories(d->path() / "out");
        }
        for (const Step& s : steps) {
            RunResult l = run(binary("qorvan-console"), { "-e", s.lisp, "-e", "(slb-error)" }, lisp.str());
            RunResult c = qorvan(s.cli, cli.str());
            EXPECT_EQ(c.status, s.fails ? 1 : 0) << s.lisp << c.err;
            EXPECT_EQ(contents(lisp.path()), contents(cli.path())) << s.lisp;
            if (s.fails) {
                // The console prints (slb-error)'s value in prin1 form on its
                // last line; qorvan says the same after naming what it did.
                std::string last = l.out.substr(0, l.out.size() - 1);
                last = last.substr(last.rfind('\n') + 1);
                ASSERT_GE(last.size(), 2u) << l.out;
                std::string message;
                for (std::size_t i = 1; i + 1 < last.size(); ++i) {
                    if (last[i] == '\\') ++i;
                    message += last[i];
                }
                EXPECT_FALSE(message.empty()) << l.out;
                // Where the module can only say "can't open", qorvan names the
                // same file with the system's reason instead.
                const std::string cannotOpen = "\": Can't open file";
                if (message.size() > cannotOpen.size() + 1 && message.front() == '"'
                    && message.ends_with(cannotOpen)) {
                    const std::string file = message.substr(1, message.size() - cannotOpen.size() - 1);
                    EXPECT_NE(c.err.find(file + ": No such file or directory\n"), std::string::npos) << c.err;
                } else {
                    EXPECT_NE(c.err.find(": " + message + "\n"), std::string::npos) << l.out << "\n" << c.err;
                }
            }
        }
        RunResult names = run(binary("qorvan-console"), { "-e", "(slb-list \"parts\")" }, lisp.str());
        EXPECT_NE(names.out.find("(\"BOX\")"), std::string::npos) << names.out;
        EXPECT_EQ(qorvan({ "list", "parts" }, cli.str()).out, "BOX\n");
    }

} // namespace
} // namespace qorvan::testing
