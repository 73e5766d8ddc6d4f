// Directory listing into list controls: patterns, brackets, drives, the
// current directory and the selection forms.
#include "platform/dirlist.h"

#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace qorvan::platform {
namespace {

    using qorvan::testing::TempDir;

    // A list that keeps insertion order; sorting is the widgets' business.
    struct FakeList : ListControl {
        std::vector<std::string> items;
        int selection = -1;
        int resets = 0;
        void resetContent() override { items.clear(), ++resets; }
        int addString(std::string_view t) override
        {
            items.emplace_back(t);
            return static_cast<int>(items.size()) - 1;
        }
        int count() const override { return static_cast<int>(items.size()); }
        int currentSelection() const override { return selection; }
        bool text(int i, std::string& out) const override
        {
            if (i < 0 || i >= count()) return false;
            out = items[static_cast<std::size_t>(i)];
            return true;
        }
        std::vector<std::string> sorted() const
        {
            auto v = items;
            std::sort(v.begin(), v.end());
            return v;
        }
    };

    struct FakeText : TextControl {
        std::string value;
        void setText(std::string_view t) override { value = t; }
    };

    // Every test restores the working directory, which the listing changes.
    class DirListTest : public ::testing::Test {
    protected:
        void SetUp() override
        {
            saved_ = std::filesystem::current_path();
            tmp_.write("a/PLAN.SLD", "x");
            tmp_.write("a/door.sld", "x");
            tmp_.write("a/Notes.txt", "x");
            tmp_.write("a/.hidden.sld", "x");
            tmp_.write("a/sub/inner.sld", "x");
            tmp_.write("a/x.SLD/keep", "x");
            std::filesystem::create_directories(tmp_.path() / "a/.git");
        }
        void TearDown() override { std::filesystem::current_path(saved_); }
        std::string dir(const std::string& rel) const
        {
            return std::filesystem::canonical(tmp_.path() / rel).string();
        }
        TempDir tmp_;
        std::filesystem::path saved_;
    };

    TEST_F(DirListTest, ListsMatchingFilesAndAllSubdirectoriesAndEntersTheDirectory)
    {
        FakeList list;
        FakeText path;
        std::string spec = tmp_.str("a") + "/*.SLD";
        ASSERT_TRUE(DlgDirList(&list, spec.c_str(), &path, DDL_DIRECTORY));
        EXPECT_EQ(
            list.sorted(), (std::vector<std::string> { "PLAN.SLD", "[..]", "[sub]", "[x.SLD]", "door.sld" }));
        EXPECT_EQ(path.value, dir("a"));
        EXPECT_EQ(std::filesystem::current_path().string(), dir("a"));

        // A relative directory part resolves against the directory now current.
        ASSERT_TRUE(DlgDirList(&list, "sub/*.SLD", &path, DDL_DIRECTORY));
        EXPECT_EQ(list.sorted(), (std::vector<std::string> { "[..]", "inner.sld" }));
        EXPECT_EQ(path.value, dir("a/sub"));
        ASSERT_TRUE(DlgDirList(&list, "..\\*.SLD", &path, DDL_DIRECTORY));
        EXPECT_EQ(path.value, dir("a"));
    }

    TEST_F(DirListTest, SpecWithoutDirectoryListsTheCurrentOneAndSpecOfADirectoryListsAll)
    {
        std::filesystem::current_path(dir("a"));
        FakeList list;
        FakeText path;
        ASSERT_TRUE(DlgDirList(&list, "*.SLD", &path, 0));
        EXPECT_EQ(list.sorted(), (std::vector<std::string> { "PLAN.SLD", "door.sld" }));
        ASSERT_TRUE(DlgDirList(&list, "", &path, DDL_DIRECTORY | DDL_EXCLUSIVE));
        EXPECT_EQ(list.sorted(), (std::vector<std::string> { "[..]", "[sub]", "[x.SLD]" }));
        ASSERT_TRUE(DlgDirList(&list, "SUB", &path, 0)); // names a directory: entered, "*.*"
        EXPECT_EQ(list.sorted(), (std::vector<std::string> { "inner.sld" }));
        EXPECT_EQ(path.value, dir("a/sub"));
    }

    TEST_F(DirListTest, HiddenEntriesOnlyWhenAsked)
    {
        FakeList list;
        std::string spec = tmp_.str("a") + "/*.sld";
        ASSERT_TRUE(DlgDirList(&list, spec.c_str(), nullptr, DDL_DIRECTORY | DDL_HIDDEN));
        EXPECT_NE(std::find(list.items.begin(), list.items.end(), ".hidden.sld"), list.items.end());
        EXPECT_NE(std::find(list.items.begin(), list.items.end(), "[.git]"), list.items.end());
    }

    TEST_F(DirListTest, MissingDirectoryFailsAndChangesNothing)
    {
        std::filesystem::current_path(dir("a"));
        FakeList list;
        list.items = { "keep" };
        FakeText path;
        path.value = "before";
        EXPECT_FALSE(DlgDirList(&list, "nowhere/*.SLD", &path, DDL_DIRECTORY));
        EXPECT_EQ(list.items, std::vector<std::string> { "keep" });
        EXPECT_EQ(list.resets, 0);
        EXPECT_EQ(path.value, "before");
        EXPECT_EQ(std::filesystem::current_path().string(), dir("a"));
    }

    TEST_F(DirListTest, RootHasNoParentEntry)
    {
        FakeList list;
        ASSERT_TRUE(DlgDirList(&list, "/", nullptr, DDL_DIRECTORY | DDL_EXCLUSIVE));
        EXPECT_EQ(std::find(list.items.begin(), list.items.end(), "[..]"), list.items.end());
    }

    TEST_F(DirListTest, DrivesIncludeRootHomeAndMappedLetters)
    {
        ::setenv("QORVAN_DRIVE_Q", dir("a").c_str(), 1);
        FakeList combo;
        ASSERT_TRUE(DlgDirListComboBox(&combo, nullptr, nullptr, DDL_DRIVES | DDL_EXCLUSIVE));
        auto has = [&](const char* e) {
            return std::find(combo.items.begin(), combo.items.end(), e) != combo.items.end();
        };
        EXPECT_TRUE(has("[-/-]"));
        EXPECT_TRUE(has("[-q-]"));
        if (std::getenv("HOME")) {
            EXPECT_TRUE(has("[-~-]"));
        }
        for (const std::string& e : combo.items)
            EXPECT_EQ(e.substr(0, 2), "[-") << e;

        EXPECT_EQ(dirlist::driveFor(dir("a/sub")), "[-q-]");
        EXPECT_EQ(dirlist::driveFor("/"), "[-/-]");
        ::unsetenv("QORVAN_DRIVE_Q");
        EXPECT_EQ(dirlist::driveFor(dir("a/sub")).substr(0, 2), "[-");

        // Selecting the mapped drive lists its directory.
        ::setenv("QORVAN_DRIVE_Q", dir("a").c_str(), 1);
        FakeList list;
        FakeText path;
        ASSERT_TRUE(DlgDirList(&list, "q:*.SLD", &path, DDL_DIRECTORY));
        EXPECT_EQ(path.value, dir("a"));
        ::unsetenv("QORVAN_DRIVE_Q");
    }

    struct SelectionCase {
        const char* entry;
        const char* path;
        bool isDirectory;
    };

    TEST(DirSelect, EntryFormsBecomePathForms)
    {
        const SelectionCase cases[] = {
            { "[sub]", "sub/", true },
            { "[..]", "../", true },
            { "[-c-]", "c:", true },
            { "[-/-]", "/", true },
            { "[-/mnt/usb-]", "/mnt/usb/", true },
            { "PLAN.SLD", "PLAN.SLD", false },
            { "README", "README.", false },
        };
        for (const auto& c : cases) {
            std::string out;
            EXPECT_EQ(dirlist::selectionPath(c.entry, out), c.isDirectory) << c.entry;
            EXPECT_EQ(out, c.path) << c.entry;
        }
    }

    TEST(DirSelect, NoSelectionLeavesTheBufferAndTruncatesToItsSize)
    {
        FakeList list;
        list.items = { "[longdirectory]" };
        char buf[8] = "same";
        EXPECT_FALSE(DlgDirSelectEx(list, buf, sizeof buf));
        EXPECT_STREQ(buf, "same");
        list.selection = 0;
        EXPECT_TRUE(DlgDirSelectEx(list, buf, sizeof buf));
        EXPECT_STREQ(buf, "longdir");
        list.selection = 5; // text() fails
        EXPECT_FALSE(DlgDirSelectComboBoxEx(list, buf, sizeof buf));
    }

    TEST(DirPattern, WildcardsIgnoreCase)
    {
        struct {
            const char* pattern;
            const char* name;
            bool match;
        } cases[] = {
            { "*.SLD", "plan.sld", true },
            { "*.SLD", "PLAN.SLDX", false },
            { "*.SLD", "plan.sl", false },
            { "*.*", "README", true },
            { "P?AN.*", "plan.txt", true },
            { "*a*b", "xxaxxb", true },
            { "*a*b", "xxaxxbc", false },
            { "", "", true },
            { "?", "", false },
        };
        for (const auto& c : cases)
            EXPECT_EQ(dirlist::matchPattern(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
    }

} // namespace
} // namespace qorvan::platform
