// What qorvan says when a file cannot be used: the path as typed, the file
// it stood for where that differs (with "/", in the case found on disk), and
// the system's reason. Run against real files, a second user and a small
// read-only or full file system.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sys/mount.h>
#include <unistd.h>

#include "tests/cli/support.h"
#include "tests/slide/slide_builder.h"
#include "tests/support/as_user.h"
#include "tests/support/small_disk.h"
#include "tests/support/tempdir.h"

namespace qorvan::testing {
namespace {

    namespace fs = std::filesystem;

    std::string box()
    {
        return SlideBytes::newForm(100, 100).vector(0, 0, 100, 100).end().b;
    }

    bool hasTemporary(const fs::path& dir)
    {
        for (const auto& e : fs::recursive_directory_iterator(dir))
            if (e.path().filename().string().find(".tmp") != std::string::npos) return true;
        return false;
    }

    RunResult asNobody(const std::vector<std::string>& args, const std::string& cwd)
    {
        std::vector<std::string> all
            = { "--reuid=65534", "--regid=65534", "--clear-groups", binary("qorvan") };
        all.insert(all.end(), args.begin(), args.end());
        return run("/usr/bin/setpriv", all, cwd);
    }

    bool canDropPrivileges()
    {
        return runningAsRoot() && fs::exists("/usr/bin/setpriv");
    }

    struct Case {
        std::vector<std::string> args;
        bool nobody; // run as a second user
        int status;
        std::string err; // the whole of standard error
        std::function<bool(const fs::path&)> left; // the files afterwards
    };

    void runCases(const std::vector<Case>& cases, const fs::path& dir)
    {
        for (const Case& c : cases) {
            std::string shown;
            for (const std::string& a : c.args)
                shown += a + " ";
            SCOPED_TRACE(shown);
            if (c.nobody && !canDropPrivileges()) continue;
            const std::string before = readFile(dir / "parts.slb");
            RunResult r = c.nobody ? asNobody(c.args, dir.string()) : qorvan(c.args, dir.string());
            EXPECT_EQ(r.status, c.status) << r.err;
            EXPECT_EQ(r.err, c.err);
            EXPECT_EQ(readFile(dir / "parts.slb"), before);
            EXPECT_FALSE(hasTemporary(dir));
            if (c.left) {
                EXPECT_TRUE(c.left(dir));
            }
        }
    }

    bool absent(const fs::path& p)
    {
        return !fs::exists(fs::symlink_status(p));
    }

    TEST(CliReasons, MessagesNameWhatWasTypedAndWhy)
    {
        TempDir t;
        t.write("box.sld", box());
        t.write("Gear.sld", box());
        ASSERT_EQ(qorvan({ "append", "parts", "box", "Gear" }, t.str()).status, 0);
        fs::create_directories(t.path() / "LIB");
        fs::create_directories(t.path() / "shelf.slb");
        t.write("Mixed.slb", "a text file, not a library");
        t.write("notes", "no folder");
        t.write("locked.slb", readFile(t.path() / "parts.slb"));
        t.write("locked.sld", box());
        ::chmod(t.str("locked.slb").c_str(), 0600);
        ::chmod(t.str("locked.sld").c_str(), 0600);

        const std::vector<Case> cases = {
            // Missing: the file tried keeps the letter case and separators typed.
            { { "list", "LIB/NoSuch" }, false, 1,
                "qorvan list: LIB/NoSuch: cannot open LIB/NoSuch.slb: No such file or directory\n", {} },
            { { "render", "LIB\\Nosuch", "-o", "x.png" }, false, 1,
                "qorvan render: LIB\\Nosuch: cannot open LIB/Nosuch.SLD: No such file or directory\n",
                [](const fs::path& d) { return absent(d / "x.png"); } },
            { { "append", "new", "nosuch" }, false, 1,
                "qorvan append: nosuch: cannot open nosuch.SLD: No such file or directory\n",
                [](const fs::path& d) { return absent(d / "new.slb"); } },
            { { "gallery", "Nosuch(BOX)", "-d", "sheet" }, false, 1,
                "qorvan: Nosuch(BOX): cannot open Nosuch.slb: No such file or directory\n", {} },
            // A folder or a device where a file is wanted.
            { { "list", "shelf" }, false, 1, "qorvan list: shelf: cannot open shelf.slb: Is a directory\n",
                {} },
            { { "append", "new", "/dev/zero" }, false, 1,
                "qorvan append: /dev/zero: cannot open it: not a regular file (a device, pipe or socket)\n",
                [](const fs::path& d) { return absent(d / "new.slb"); } },
            // Found in another letter case: the file on disk is named.
            { { "list", "MIXED" }, false, 1, "qorvan list: MIXED (Mixed.slb): Slide library invalid.\n", {} },
            { { "list", "mixed.slb" }, false, 1,
                "qorvan list: mixed.slb (Mixed.slb): Slide library invalid.\n", {} },
            { { "list", "Mixed.slb" }, false, 1, "qorvan list: Mixed.slb: Slide library invalid.\n", {} },
            // A folder that is a file, reached through a backslash.
            { { "explode", "parts", "-d", "notes\\out" }, false, 1,
                "qorvan explode: parts: cannot write notes/out/BOX.SLD: Not a directory\n", {} },
            // Another user's private files.
            { { "list", "locked" }, true, 1,
                "qorvan list: locked: cannot open locked.slb: Permission denied\n", {} },
            { { "render", "locked.sld", "-o", "/tmp/never.png" }, true, 1,
                "qorvan render: locked.sld: cannot open it: Permission denied\n",
                [](const fs::path&) { return absent("/tmp/never.png"); } },
            { { "append", "parts", "locked" }, true, 1,
                "qorvan append: locked: cannot open locked.SLD: Permission denied\n", {} },
        };
        runCases(cases, t.path());
    }

    TEST(CliReasons, AReadOnlyFileSystemIsSaid)
    {
        SmallDisk disk(128);
        if (!disk.mounted) GTEST_SKIP() << "cannot mount a tmpfs here";
        disk.dir.write("box.sld", box());
        disk.dir.write("pin.sld", box());
        ASSERT_EQ(qorvan({ "append", "parts", "box" }, disk.dir.str()).status, 0);
        ASSERT_EQ(::mount(nullptr, disk.dir.str().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
        const std::vector<Case> cases = {
            { { "append", "Parts", "pin" }, false, 1,
                "qorvan append: Parts: cannot write parts.slb: Read-only file system\n", {} },
            { { "delete", "parts", "box" }, false, 1,
                "qorvan delete: parts: cannot write parts.slb: Read-only file system\n", {} },
            // BOX.SLD would be written over box.sld, the file of that name
            // in any case, and it is that file that is named.
            { { "extract", "parts", "box" }, false, 1,
                "qorvan extract: parts: cannot write box.sld: Read-only file system\n",
                [](const fs::path& d) { return readFile(d / "box.sld") == box(); } },
            { { "render", "box", "-o", "box.png" }, false, 1,
                "qorvan: box.png: cannot write it: Read-only file system\n",
                [](const fs::path& d) { return absent(d / "box.png"); } },
        };
        runCases(cases, disk.dir.path());
    }

} // namespace
} // namespace qorvan::testing
