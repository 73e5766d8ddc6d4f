// Runs every example of docs/autolisp.md: in each ```lisp block, the text
// after "Command: " and "(_> " is typed, and the other lines are what the
// console prints (lines of errors and unknown commands on standard error).
#include "tests/e2e/module_support.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace qorvan::testing;

namespace {

struct Example {
    int line = 0;
    std::string input;
    std::string out;
    std::string err;
};

std::vector<Example> examples()
{
    std::istringstream doc(readFile(std::string(QORVAN_SOURCE_DIR) + "/docs/autolisp.md"));
    std::vector<Example> found;
    std::string line;
    int number = 0;
    bool inBlock = false;
    while (std::getline(doc, line)) {
        ++number;
        if (!inBlock) {
            if (line == "```lisp") {
                inBlock = true;
                found.emplace_back().line = number;
            }
            continue;
        }
        if (line == "```") {
            inBlock = false;
            continue;
        }
        Example& e = found.back();
        if (line.rfind("Command: ", 0) == 0) {
            e.input += line.substr(9) + "\n";
        } else if (line.rfind("(_> ", 0) == 0) {
            e.input += line.substr(4) + "\n";
        } else if (line.rfind("; error: ", 0) == 0 || line.rfind("Unknown command", 0) == 0) {
            e.err += line + "\n";
        } else {
            e.out += line + "\n";
        }
    }
    return found;
}

TEST(Docs, AutolispExamplesRunAsDocumented)
{
    const auto all = examples();
    ASSERT_GE(all.size(), 5u);
    for (const Example& e : all) {
        SampleDir dir;
        const RunResult r = run(binary("qorvan-console"), {}, dir.str(), e.input);
        EXPECT_EQ(r.out, TOOLKIT_BANNER + e.out) << "docs/autolisp.md block at line " << e.line;
        EXPECT_EQ(r.err, e.err) << "docs/autolisp.md block at line " << e.line;
    }
}

} // namespace
