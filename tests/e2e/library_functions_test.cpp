// Every library function of qorvan.arx called from qorvan-console: values,
// banners, argument errors, the status left for slb-error, files written,
// path spellings, and the real libraries made by other software.
#include "tests/e2e/module_support.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace qorvan::testing;
namespace fs = std::filesystem;

namespace {

// The output of one -e call: toolkit banner at start, then the call's.
std::string out(const std::string& call)
{
    return TOOLKIT_BANNER + call;
}

TEST(LibraryFunctions, ListAppendDeleteAndReplaceReturnTheNames)
{
    SampleDir dir;
    const std::string before = dir.sample("samples.slb");
    RunResult r = module({ "(slb-list \"samples\")" }, dir.str());
    EXPECT_EQ(r.out, out(BANNER + SAMPLE_NAMES + "\n"));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);

    r = module({ "(slb-append \"samples\" \"house\")" }, dir.str());
    EXPECT_EQ(r.out, out(BANNER + "(\"BOX\" \"CIRCLE\" \"GEAR\" \"STAR\" \"HOUSE\")\n"));
    const std::string after = dir.sample("samples.slb");
    const std::string house = dir.sample("house.sld");
    ASSERT_EQ(after.size(), before.size() + 36 + house.size());
    EXPECT_EQ(after.substr(after.size() - house.size()), house);

    r = module({ "(slb-delete \"samples\" \"box\")" }, dir.str());
    EXPECT_EQ(r.out, out(BANNER + "(\"CIRCLE\" \"GEAR\" \"STAR\" \"HOUSE\")\n"));

    r = module({ "(slb-replace \"samples\" \"gear\")" }, dir.str());
    EXPECT_EQ(r.out, out(BANNER + "(\"CIRCLE\" \"STAR\" \"HOUSE\" \"GEAR\")\n"));
    EXPECT_FALSE(fs::exists(dir.path() / "samples.tmp")) << "no temporary file is left behind";
}

TEST(LibraryFunctions, ExtractExplodeAndRemoveWriteSlideFiles)
{
    SampleDir dir;
    fs::create_directory(dir.path() / "out");
    RunResult r = module({ "(slb-extract \"samples\" \"gear\" \"out\")" }, dir.str());
    EXPECT_EQ(r.out, out(BANNER + SAMPLE_NAMES + "\n"));
    EXPECT_EQ(readFile(dir.path() / "out" / "GEAR.SLD"), dir.sample("gear.sld"));

    fs::create_directory(dir.path() / "all");
    r = module({ "(slb-explode \"samples\" \"all\")" }, dir.str());
    EXPECT_EQ(r.out, out(BANNER + SAMPLE_NAMES + "\n"));
    for (const char* name : { "BOX", "CIRCLE", "GEAR", "STAR" }) {
        std::string lower = name;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(readFile(dir.path() / "all" / (std::string(name) + ".SLD")), dir.sample(lower + ".sld"))
            << name;
    }

    r = module({ "(slb-remove \"samples\" \"star\" \"out\")" }, dir.str());
    EXPECT_EQ(r.out, out(BANNER + "(\"BOX\" \"CIRCLE\" \"GEAR\")\n"));
    EXPECT_EQ(readFile(dir.path() / "out" / "STAR.SLD"), dir.sample("star.sld"));
}

TEST(LibraryFunctions, ArgumentErrorsPrintTheirMessagesAndReturnNil)
{
    SampleDir dir;
    const std::string longName(256, 'x');
    struct Case {
        std::string call;
        std::string printed;
    };
    const Case cases[] = {
        { "(slb-append)", BANNER + TOO_FEW },
        { "(slb-append \"samples\")", BANNER + TOO_FEW },
        { "(slb-delete \"samples\")", BANNER + TOO_FEW },
        { "(slb-explode \"samples\")", BANNER + TOO_FEW },
        { "(slb-extract \"samples\" \"box\")", BANNER + TOO_FEW },
        { "(slb-remove \"samples\" \"box\")", BANNER + TOO_FEW },
        { "(slb-replace \"samples\")", BANNER + TOO_FEW },
        { "(slb-list)", BANNER + TOO_FEW },
        { "(slb-delete \"samples\" 5)", BANNER + "\ngetAtom : type mismatched! (5003)" + INVALID },
        { "(slb-delete 70000 \"box\")", BANNER + "\ngetAtom : type mismatched! (5010)" + INVALID },
        { "(slb-list 1.5)", BANNER + "\ngetAtom : type mismatched! (5001)" + INVALID },
        { "(slb-list '(\"samples\"))", BANNER + "\ngetAtom : type mismatched! (5016)" + INVALID },
        { "(slb-list nil)", BANNER + "\ngetAtom : type mismatched! (5019)" + INVALID },
        { "(slb-append 1 2)", BANNER + "\ngetAtom : type mismatched! (5003)" + INVALID },
        { "(slb-list \"" + longName + "\")", BANNER + INVALID },
        { "(slb-append \"samples\" \"" + longName + "\")", BANNER + INVALID },
    };
    for (const Case& c : cases) {
        const RunResult r = module({ c.call, "(slb-error)" }, dir.str());
        EXPECT_EQ(r.out, out(c.printed + "nil\n\"\"\n")) << c.call;
        EXPECT_EQ(r.status, 0) << c.call;
    }
    EXPECT_EQ(dir.sample("samples.slb"), readFile(fs::path(QORVAN_SOURCE_DIR) / "samples" / "samples.slb"));
}

TEST(LibraryFunctions, ExtraArgumentsAreIgnored)
{
    SampleDir dir;
    fs::create_directory(dir.path() / "out");
    const RunResult r = module(
        { "(slb-extract \"samples\" \"box\" \"out\" \"extra\")", "(slb-list \"samples\" 1)" }, dir.str());
    EXPECT_EQ(r.out, out(BANNER + SAMPLE_NAMES + "\n" + BANNER + SAMPLE_NAMES + "\n"));
    EXPECT_TRUE(fs::exists(dir.path() / "out" / "BOX.SLD"));
}

TEST(LibraryFunctions, FailuresLeaveTheirMessageForSlbError)
{
    SampleDir dir;
    dir.write("bad.slb", "not a slide library at all, just text\n");
    dir.write("empty.slb", std::string("AutoCAD Slide Library 1.0\r\n\x1a", 28) + std::string(40, '\0'));
    struct Case {
        std::string call;
        std::string value;
        std::string message;
    };
    const Case cases[] = {
        { "(slb-list \"nosuch\")", "nil", "\"\\\"nosuch.slb\\\": Can't open file\"" },
        { "(slb-list \"bad\")", "nil", "\"Slide library invalid.\"" },
        { "(slb-list \"empty\")", "nil", "\"No slide exists in library empty.\"" },
        { "(slb-delete \"samples\" \"nope\")", "nil", "\"Slide nope not found in library samples.\"" },
        { "(slb-append \"samples\" \"box\")", "nil", "\"Slide BOX already exists in library samples.\"" },
        { "(slb-append \"bad\" \"box\")", "nil", "\"Slide library invalid.\"" },
        { "(slb-append \"samples\" \"nosuch\")", "nil", "\"\\\"nosuch.SLD\\\": Can't open file\"" },
        { "(slb-extract \"samples\" \"nope\" \".\")", "nil", "\"Slide nope not found in library samples.\"" },
        { "(slb-remove \"samples\" \"nope\" \".\")", "nil", "\"Slide nope not found in library samples.\"" },
        { "(slb-explode \"nosuch\" \".\")", "nil", "\"\\\"nosuch.slb\\\": Can't open file\"" },
    };
    for (const Case& c : cases) {
        const RunResult r = module({ c.call, "(slb-error)" }, dir.str());
        EXPECT_EQ(r.out, out(BANNER + c.value + "\n" + c.message + "\n")) << c.call;
    }
    EXPECT_EQ(dir.sample("samples.slb"), readFile(fs::path(QORVAN_SOURCE_DIR) / "samples" / "samples.slb"));
}

TEST(LibraryFunctions, CompositeOperationsKeepTheInnerMessage)
{
    SampleDir dir;
    // The file name in upper case: the message names the slide the same way
    // whether the inner delete is given the name as written or as stored.
    RunResult r = module({ "(list (slb-replace \"samples\" \"HOUSE\") (slb-error))" }, dir.str());
    EXPECT_EQ(r.out,
        out(BANNER
            + "((\"BOX\" \"CIRCLE\" \"GEAR\" \"STAR\" \"HOUSE\") "
              "\"Slide HOUSE not found in library samples.\")\n"));

    r = module({ "(list (slb-append \"new\" \"box\") (slb-error))" }, dir.str());
    EXPECT_EQ(r.out, out(BANNER + "((\"BOX\") \"\\\"new.slb\\\": Can't open file\")\n"))
        << "creating a library leaves the reader's message";

    r = module({ "(slb-delete \"new\" \"box\")", "(slb-error)" }, dir.str());
    EXPECT_EQ(r.out, out(BANNER + "nil\n\"No slide exists in library new.\"\n"))
        << "deleting the last slide leaves an empty library and an empty list";
    EXPECT_EQ(fs::file_size(dir.path() / "new.slb"), 68u);

    r = module({ "(slb-list \"nosuch\")", "(slb-list \"samples\")", "(slb-error)" }, dir.str());
    EXPECT_EQ(
        r.out, out(BANNER + "nil\n" + BANNER + "(\"BOX\" \"CIRCLE\" \"GEAR\" \"STAR\" \"HOUSE\")\n\"\"\n"))
        << "each call resets the status";
}

TEST(LibraryFunctions, SlbErrorBeforeAnyFailureIsEmpty)
{
    SampleDir dir;
    const RunResult r = module({ "(slb-error)", "(slb-error 1 2)" }, dir.str());
    EXPECT_EQ(r.out, out("\"\"\n\"\"\n")) << "slb-error prints no banner";
}

TEST(LibraryFunctions, PathsWithBackslashesAndMixedCase)
{
    SampleDir dir;
    fs::create_directories(dir.path() / "Work" / "Lib");
    fs::copy_file(dir.path() / "samples.slb", dir.path() / "Work" / "Lib" / "PARTS.SLB");
    fs::copy_file(dir.path() / "house.sld", dir.path() / "Work" / "House.Sld");
    fs::create_directories(dir.path() / "Out");
    const RunResult r = module({ "(slb-list \"work\\\\lib\\\\parts\")", "(slb-list \"WORK/LIB/Parts.Slb\")",
                                   "(slb-append \"work\\\\lib\\\\parts\" \"work\\\\house\")",
                                   "(slb-extract \"Work\\\\Lib\\\\PARTS\" \"house\" \"out\")" },
        dir.str());
    const std::string withHouse = "(\"BOX\" \"CIRCLE\" \"GEAR\" \"STAR\" \"HOUSE\")";
    EXPECT_EQ(r.out,
        out(BANNER + SAMPLE_NAMES + "\n" + BANNER + SAMPLE_NAMES + "\n" + BANNER + withHouse + "\n" + BANNER
            + withHouse + "\n"));
    EXPECT_EQ(readFile(dir.path() / "Out" / "HOUSE.SLD"), dir.sample("house.sld"));
}

TEST(LibraryFunctions, RealLibrariesFromOtherSoftware)
{
    const fs::path real = qorvan::testing::testdataDir() / "real";
    if (!fs::exists(real)) GTEST_SKIP() << "no real test data at " << real;
    SampleDir dir;
    const std::string lines = (real / "mnasoft-MNAS_acad_utils/acad_w.sup/LINES").string();
    const std::string circles = (real / "mnasoft-MNAS_acad_utils/acad_w.sup/CIRCLES.slb").string();
    const std::string mylib = (real / "ten0s-velisp/examples/mylib").string();
    RunResult r = module(
        { "(slb-list \"" + lines + "\")", "(slb-list \"" + circles + "\")", "(slb-list \"" + mylib + "\")" },
        dir.str());
    EXPECT_EQ(r.out,
        out(BANNER + "(\"D_REZ\" \"D_CHAMF\" \"D_OTV\" \"D_OFF\" \"R_OFF\")\n" + BANNER
            + "(\"CL_S\" \"C_R\")\n" + BANNER + "(\"SLIDE1\" \"SLIDE2\")\n"));

    // LINES.slb is what appending its five loose slides to a new library
    // gives, byte for byte. The ".sld" is written out: the path holds a "."
    // already (acad_w.sup), so none would be added.
    const fs::path loose = real / "mnasoft-MNAS_acad_utils/acad_w.sup/lines";
    std::vector<std::string> calls;
    for (const char* name : { "D_REZ", "D_CHAMF", "D_OTV", "D_OFF", "R_OFF" })
        calls.push_back("(slb-append \"rebuilt\" \"" + (loose / name).string() + ".sld\")");
    r = module(calls, dir.str());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(readFile(dir.path() / "rebuilt.slb"), readFile(loose / "LINES.slb"));

    fs::create_directory(dir.path() / "x");
    r = module({ "(slb-explode \"" + lines + "\" \"x\")" }, dir.str());
    for (const char* name : { "D_REZ", "D_CHAMF", "D_OTV", "D_OFF", "R_OFF" })
        EXPECT_EQ(readFile(dir.path() / "x" / (std::string(name) + ".SLD")),
            readFile(loose / (std::string(name) + ".sld")))
            << name;
}

} // namespace
