// The display probe against the environments it meets, and the program's
// own folder.
#include "platform/program.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace qorvan::platform {
namespace {

    // Sets the display variables for one case and puts the old values back.
    class DisplayEnvironment {
    public:
        DisplayEnvironment()
        {
            for (const char* name : NAMES) {
                const char* v = std::getenv(name);
                saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
                ::unsetenv(name);
            }
        }
        ~DisplayEnvironment()
        {
            for (const auto& [name, value] : saved_) {
                if (value)
                    ::setenv(name.c_str(), value->c_str(), 1);
                else
                    ::unsetenv(name.c_str());
            }
        }
        static void set(const char* name, const std::string& value)
        {
            if (!value.empty()) ::setenv(name, value.c_str(), 1);
        }

        static constexpr const char* NAMES[]
            = { "QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR", "DISPLAY" };

    private:
        std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
    };

    TEST(DisplayProbe, FollowsTheEnvironmentAndTheSockets)
    {
        const std::filesystem::path runtime
            = std::filesystem::temp_directory_path() / ("qorvan-display-" + std::to_string(::getpid()));
        std::filesystem::create_directories(runtime);
        std::ofstream(runtime / "wayland-7").put('\n');
        const std::string absent = "4711"; // no X server has that socket here
        ASSERT_FALSE(std::filesystem::exists("/tmp/.X11-unix/X" + absent));

        struct {
            const char* what;
            std::string platform, wayland, runtimeDir, display;
            bool expected;
        } cases[] = {
            { "nothing set", "", "", "", "", false },
            { "a platform named", "offscreen", "", "", "", true },
            { "Wayland socket present", "", "wayland-7", runtime.string(), "", true },
            { "Wayland socket by absolute path", "", (runtime / "wayland-7").string(), "", "", true },
            { "Wayland socket absent", "", "wayland-8", runtime.string(), "", false },
            { "local X display without its socket", "", "", "", ":" + absent, false },
            { "local X display by unix: without its socket", "", "", "", "unix:" + absent + ".0", false },
            { "remote X display", "", "", "", "drafting-room:0", true },
            { "not a display name", "", "", "", "garbage", false },
        };
        for (const auto& c : cases) {
            DisplayEnvironment env;
            DisplayEnvironment::set("QT_QPA_PLATFORM", c.platform);
            DisplayEnvironment::set("WAYLAND_DISPLAY", c.wayland);
            DisplayEnvironment::set("XDG_RUNTIME_DIR", c.runtimeDir);
            DisplayEnvironment::set("DISPLAY", c.display);
            EXPECT_EQ(displayAvailable(), c.expected) << c.what;
        }
        std::filesystem::remove_all(runtime);
    }

    TEST(ProgramFolder, IsTheFolderOfTheRunningExecutable)
    {
        const std::string folder = programFolder();
        ASSERT_FALSE(folder.empty());
        EXPECT_NE(folder.back(), '/');
        EXPECT_TRUE(std::filesystem::equivalent(folder, std::filesystem::path(QORVAN_BINARY_DIR) / "tests"));
    }

} // namespace
} // namespace qorvan::platform
