#include "store/status.h"

#include <gtest/gtest.h>
#include <string>

using namespace qorvan;

TEST(Status, StartsEmpty)
{
    EXPECT_EQ(lastStatus(), Ok);
    EXPECT_STREQ(statusMessage(), "");
}

TEST(Status, EveryCodeFormatsItsMessage)
{
    struct Case {
        StatusCode code;
        const char* path;
        const char* slide;
        const char* message;
    };
    const Case cases[] = {
        { Ok, "x", "y", "" },
        { CannotOpen, "nosuch.slb", nullptr, "\"nosuch.slb\": Can't open file" },
        { DisplayMismatch, "a", "b", "Warning--Slide prepared for different display." },
        { InvalidSlide, "c:\\x.sld", nullptr, "Error reading slide file. *Invalid*" },
        { InvalidLibrary, nullptr, nullptr, "Slide library invalid." },
        { SlideNotFound, "c:\\lib\\parts", "BOX", "Slide BOX not found in library c:\\lib\\parts." },
        { NoMemory, "p", "s", "Error Unknown" },
        { EmptyLibrary, "parts", nullptr, "No slide exists in library parts." },
        { SlideExists, "parts", "BOX", "Slide BOX already exists in library parts." },
        { CannotOpen, nullptr, nullptr, "\"\": Can't open file" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(setStatus(c.code, c.path, c.slide), c.code);
        EXPECT_EQ(lastStatus(), c.code);
        EXPECT_STREQ(statusMessage(), c.message);
    }
}

TEST(Status, LongestMessageFits)
{
    std::string path(255, 'p');
    std::string name(31, 'N');
    setStatus(SlideExists, path.c_str(), name.c_str());
    EXPECT_EQ(std::string(statusMessage()), "Slide " + name + " already exists in library " + path + ".");
    setStatus(Ok, nullptr, nullptr);
    EXPECT_STREQ(statusMessage(), "");
}
