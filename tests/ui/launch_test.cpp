// Opening link targets: the fallback to the HTML handler, the placeholder
// cut, the error messages and the desktop's MIME defaults.
#include "ui/desktop_launcher.h"
#include "ui/launch.h"

#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace qorvan::ui {
namespace {

    using qorvan::testing::TempDir;

    class FakeLauncher : public Launcher {
    public:
        FakeLauncher()
            : previous_(setLauncher(this))
        {
        }
        ~FakeLauncher() override { setLauncher(previous_); }
        int openResult = 2;
        std::optional<std::string> command;
        int execResult = 33;
        std::vector<std::string> opened, executed;

        int shellOpen(const std::string& url, int) override
        {
            opened.push_back(url);
            return openResult;
        }
        std::optional<std::string> htmlOpenCommand() override { return command; }
        int execCommandLine(const std::string& line, int) override
        {
            executed.push_back(line);
            return execResult;
        }

    private:
        Launcher* previous_;
    };

    TEST(LaunchUrl, ShellSuccessNeedsNoFallback)
    {
        FakeLauncher f;
        f.openResult = 42;
        f.command = "browser %1";
        EXPECT_EQ(LaunchUrl("https://x/", SW_SHOW), 42);
        EXPECT_TRUE(f.executed.empty());
    }

    TEST(LaunchUrl, FallsBackToTheHtmlCommandWithItsPlaceholderCut)
    {
        FakeLauncher f;
        f.command = "\"/opt/web/browser\" -new \"%1\" --tail";
        EXPECT_EQ(LaunchUrl("https://x/", SW_SHOW), 33);
        ASSERT_EQ(f.executed.size(), 1u);
        EXPECT_EQ(f.executed[0], "\"/opt/web/browser\" -new  https://x/");
    }

    TEST(LaunchUrl, WithoutAnHtmlCommandTheShellResultStands)
    {
        FakeLauncher f;
        f.openResult = 31;
        EXPECT_EQ(LaunchUrl("mailto:a@b", SW_SHOW), 31);
        f.command = std::string(REGISTRY_VALUE_BUFFER, 'x'); // would not fit the value buffer
        EXPECT_EQ(LaunchUrl("mailto:a@b", SW_SHOW), 31);
        EXPECT_TRUE(f.executed.empty());
    }

    TEST(LaunchUrl, ACommandLineTooLongIsRefusedNotCut)
    {
        FakeLauncher f;
        f.command = "browser %u";
        EXPECT_EQ(LaunchUrl("https://x/" + std::string(COMMAND_LINE_BUFFER, 'a'), SW_SHOW), SE_ERR_OOM);
        EXPECT_TRUE(f.executed.empty());
        f.execResult = 2; // the exec's own failure is passed on
        EXPECT_EQ(LaunchUrl("https://x/", SW_SHOW), 2);
    }

    TEST(CutPlaceholder, QuotedThenBareThenWhole)
    {
        struct {
            const char* command;
            const char* cut;
        } cases[] = {
            { "C:\\web\\browser.exe \"%1\"", "C:\\web\\browser.exe " },
            { "C:\\web\\browser.exe -nohome %1", "C:\\web\\browser.exe -nohome " }, { "browser", "browser" },
            { "firefox-esr %u", "firefox-esr " }, { "chromium \"%U\" --x", "chromium " },
            { "viewer %f", "viewer " },
            { "a %1 \"%u\"", "a %1 " }, // a quoted placeholder wins over an earlier bare one
        };
        for (const auto& c : cases)
            EXPECT_EQ(cutPlaceholder(c.command), c.cut) << c.command;
    }

    TEST(LaunchErrorText, EveryCodeOfTheTable)
    {
        struct {
            int code;
            const char* message;
        } cases[] = {
            { 0, "The operating system is out\nof memory or resources." },
            { 2, "The specified file was not found." },
            { 3, "The specified path was not found." },
            { 5, "The operating system denied\naccess to the specified file." },
            { 8, "There was not enough memory to complete the operation." },
            { 11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)." },
            { 26, "A sharing violation occurred. " },
            { 27, "The filename association is\nincomplete or invalid." },
            { 28, "The DDE transaction could not\nbe completed because the request timed out." },
            { 29, "The DDE transaction failed." },
            { 30,
                "The DDE transaction could not\nbe completed because other DDE transactions\nwere being "
                "processed." },
            { 31, "There is no application associated\nwith the given filename extension." },
            { 32, "The specified dynamic-link library was not found." },
            { 4, "Unknown Error (4) occurred." },
            { -7, "Unknown Error (-7) occurred." },
        };
        for (const auto& c : cases)
            EXPECT_EQ(launchErrorText(c.code), std::string("Can't open link:\n\n") + c.message);
    }

    TEST(SplitCommandLine, QuotesGroupAndBlanksSeparate)
    {
        EXPECT_EQ(splitCommandLine("  \"/opt/my browser/run\" -a  \"x \\\"y\\\"\" z"),
            (std::vector<std::string> { "/opt/my browser/run", "-a", "x \"y\"", "z" }));
        EXPECT_EQ(splitCommandLine("a \"\""), (std::vector<std::string> { "a", "" }));
        EXPECT_TRUE(splitCommandLine("   ").empty());
    }

    TEST(DesktopDefaults, MimeappsAndDesktopEntriesAreRead)
    {
        EXPECT_EQ(
            desktop::defaultApplication("[Added Associations]\ntext/html=a.desktop\n"
                                        "[Default Applications]\n text/html = web.desktop;other.desktop;\n",
                "text/html"),
            "web.desktop");
        EXPECT_FALSE(
            desktop::defaultApplication("[Default Applications]\ntext/plain=a.desktop\n", "text/html"));
        EXPECT_EQ(desktop::execLine(
                      "[Desktop Action new]\nExec=web --new\n[Desktop Entry]\nName=Web\nExec=web %u\n"),
            "web %u");

        TempDir t;
        t.write("config/mimeapps.list", "[Default Applications]\ntext/html=web.desktop\n");
        t.write("data/applications/web.desktop", "[Desktop Entry]\nType=Application\nExec=/opt/web \"%u\"\n");
        ::setenv("XDG_CONFIG_HOME", t.str("config").c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", t.str("none").c_str(), 1);
        ::setenv("XDG_DATA_HOME", t.str("data").c_str(), 1);
        ::setenv("XDG_DATA_DIRS", t.str("none").c_str(), 1);
        EXPECT_EQ(desktop::htmlHandlerCommand(), "/opt/web \"%u\"");
        t.write("config/mimeapps.list", "[Default Applications]\ntext/html=missing.desktop\n");
        EXPECT_FALSE(desktop::htmlHandlerCommand());
        for (const char* v : { "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME", "XDG_DATA_DIRS" })
            ::unsetenv(v);
    }

    TEST(DesktopLauncher, StartsCommandLinesAndReportsMissingPrograms)
    {
        Launcher& l = launcher(); // the desktop one: no fake installed
        EXPECT_GT(l.execCommandLine("true ignored-argument", SW_SHOW), 32);
        EXPECT_EQ(l.execCommandLine("qorvan-no-such-program-anywhere x", SW_SHOW), 2);
        EXPECT_EQ(l.execCommandLine("/nonexistent-dir/prog", SW_SHOW), 2);
    }

} // namespace
} // namespace qorvan::ui
