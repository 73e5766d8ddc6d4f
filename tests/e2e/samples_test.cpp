// The committed samples are what the generator draws: regenerate them into
// a scratch directory and compare byte for byte.
#include "tests/e2e/run.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace qorvan::testing;

TEST(Samples, CommittedFilesMatchTheGenerator)
{
    TempDir dir;
    const RunResult r = run(binary("qorvan-samples"), { dir.str() });
    ASSERT_EQ(r.status, 0) << r.err;
    const char* files[]
        = { "box.sld", "circle.sld", "gear.sld", "star.sld", "house.sld", "arrow.sld", "samples.slb" };
    for (const char* f : files)
        EXPECT_EQ(
            readFile(dir.path() / f), readFile(std::filesystem::path(QORVAN_SOURCE_DIR) / "samples" / f))
            << f;
}
