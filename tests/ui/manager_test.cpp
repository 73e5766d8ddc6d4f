// The manager dialog driven through its controls on a real directory with
// real libraries: the lists, the library file afterwards, the previews'
// pixels and the boxes asked.
#include "ui/manager_dialog.h"

#include "platform/io.h"
#include "platform/path.h"
#include "store/edit.h"
#include "store/library.h"
#include "store/status.h"
#include "tests/ui/fixtures.h"
#include "tests/ui/scripted_prompts.h"
#include "ui/controls.h"
#include "ui/view_slide_dialog.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace qorvan::ui {
namespace {

    using namespace qorvan::testing;
    namespace fs = std::filesystem;

    std::vector<std::string> entries(const platform::ListControl& list)
    {
        std::vector<std::string> out;
        for (int i = 0; i < list.count(); ++i) {
            std::string t;
            list.text(i, t);
            out.push_back(t);
        }
        return out;
    }

    std::vector<std::string> namesIn(const std::string& library)
    {
        std::vector<std::string> out;
        for (const SlideName& n : listSlides(library.c_str()))
            out.emplace_back(n.bytes, strnlen(n.bytes, 32));
        return out;
    }

    int indexOf(const platform::ListControl& list, const std::string& text)
    {
        auto e = entries(list);
        auto it = std::find(e.begin(), e.end(), text);
        return it == e.end() ? -1 : static_cast<int>(it - e.begin());
    }

    class ManagerTest : public ::testing::Test {
    protected:
        void SetUp() override
        {
            tmp.write("work/BOX.SLD", sampleSlide("box.sld"));
            tmp.write("work/circle.sld", sampleSlide("circle.sld"));
            tmp.write("work/STAR.SLD", sampleSlide("star.sld"));
            tmp.write("work/notes.txt", "not listed");
            tmp.write("work/sub/HOUSE.SLD", sampleSlide("house.sld"));
            fs::create_directories(tmp.path() / "work/odd.sld");
            work = fs::canonical(tmp.path() / "work").string();
            lib = work + "/SYMBOLS.SLB";
            tmp.write("src/DOOR.SLD", sampleSlide("house.sld"));
            tmp.write("src/ARROW.SLD", sampleSlide("arrow.sld"));
            tmp.write("src/GEAR.SLD", sampleSlide("gear.sld"));
            for (const char* s : { "GEAR", "DOOR", "ARROW" })
                ASSERT_EQ(appendSlide(lib.c_str(), tmp.str(std::string("src/") + s + ".SLD").c_str()), 0);
            fs::current_path(work);
            setStatus(Ok, nullptr, nullptr);
        }

        // Builds and shows the dialog (not modally, so the test drives it).
        void open()
        {
            ASSERT_TRUE(dialog.Create());
            dialog.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        }

        void chooseLibrary(const std::string& path)
        {
            prompts.fileAnswers.push_back(path);
            dialog.DlgItem<QPushButton>(IDC_SELECT_LIBRARY)->click();
        }

        void click(ListBox* list, const std::string& entry, bool twice = false)
        {
            int i = indexOf(*list, entry);
            ASSERT_GE(i, 0) << entry;
            list->doItemsLayout(); // lays out the items a fresh list has not yet placed
            list->scrollToItem(list->item(i));
            QPoint at = list->visualItemRect(list->item(i)).center();
            // A double-click is a click and then the second press, as the window
            // system delivers it.
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            if (twice) QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        }

        void press(int id) { dialog.DlgItem<QPushButton>(id)->click(); }

        CwdGuard cwd;
        TempDir tmp;
        std::string work, lib;
        TemplateScope scope { moduleTemplates() };
        ScriptedPrompts prompts;
        ManagerDialog dialog;
    };

    TEST_F(ManagerTest, StartsBrowsingTheCurrentDirectoryWithoutALibrary)
    {
        open();
        EXPECT_EQ(entries(*dialog.fileList()),
            (std::vector<std::string> { "[..]", "[odd.sld]", "[sub]", "BOX.SLD", "circle.sld", "STAR.SLD" }));
        EXPECT_EQ(dialog.directoryText()->text(), work);
        EXPECT_EQ(dialog.CurrentDirectory(), platform::toLowerAscii(work) + "/");
        EXPECT_EQ(dialog.libraryText()->text(), "Slide Library:");
        EXPECT_EQ(dialog.libraryList()->count(), 0);
        EXPECT_GE(indexOf(*dialog.driveCombo(), "[-/-]"), 0);
        EXPECT_GE(dialog.driveCombo()->currentSelection(), 0); // the drive of the listed directory
        EXPECT_EQ(litPixels(dialog.filePreview()), 0);
        EXPECT_EQ(litPixels(dialog.libraryPreview()), 0);
        EXPECT_EQ(lastStatus(), Ok);

        // Without a library the library buttons do nothing.
        click(dialog.fileList(), "BOX.SLD");
        for (int id : { IDC_ADD, IDC_EXTRACT, IDC_DELETE, IDC_ADD_ALL, IDC_DELETE_ALL, IDC_EXTRACT_ALL })
            press(id);
        EXPECT_TRUE(prompts.boxes.empty());
        EXPECT_FALSE(fs::exists(work + "/SYMBOLS.bak"));
    }

    TEST_F(ManagerTest, ChoosingALibraryBacksItUpListsItSortedAndPreviewsTheFirst)
    {
        open();
        std::string before = readFile(lib);
        chooseLibrary(lib);
        ASSERT_EQ(prompts.fileRequests.size(), 1u);
        const OpenFileRequest& r = prompts.fileRequests[0];
        EXPECT_EQ(r.title, "Select Slide Library");
        EXPECT_EQ(r.filterName, "AutoCAD Slide Library Files (*.slb)");
        EXPECT_EQ(r.filterPattern, "*.slb");
        EXPECT_EQ(r.defaultExt, ".slb");
        EXPECT_TRUE(r.createPrompt && r.overwritePrompt && r.hideReadOnly);
        EXPECT_EQ(r.initialDir, "");

        EXPECT_EQ(dialog.libraryDir(), work + "/");
        EXPECT_EQ(dialog.libraryPath(), lib);
        EXPECT_EQ(readFile(work + "/SYMBOLS.bak"), before);
        EXPECT_EQ(dialog.libraryText()->text(), platform::toLowerAscii(lib));
        EXPECT_EQ(entries(*dialog.libraryList()), (std::vector<std::string> { "ARROW", "DOOR", "GEAR" }));
        EXPECT_EQ(dialog.libraryList()->currentSelection(), 0);
        EXPECT_GT(litPixels(dialog.libraryPreview()), 20);
        EXPECT_TRUE(prompts.boxes.empty());

        // Choosing again starts in the library's directory; cancelling keeps it.
        prompts.fileAnswers.push_back(std::nullopt);
        press(IDC_SELECT_LIBRARY);
        EXPECT_EQ(prompts.fileRequests.back().initialDir, work + "/");
        EXPECT_EQ(dialog.libraryPath(), lib);
    }

    TEST_F(ManagerTest, ANewLibraryNameWithoutADotGetsSlbAndNoBackup)
    {
        std::string fresh = fs::canonical(tmp.path()).string() + "/NEWLIB";
        if (fresh.find('.') != std::string::npos)
            GTEST_SKIP() << "the temporary directory has a '.' in its path";
        open();
        chooseLibrary(fresh);
        EXPECT_EQ(dialog.libraryPath(), fresh + ".SLB");
        EXPECT_FALSE(fs::exists(fresh + ".bak"));
        EXPECT_EQ(dialog.libraryText()->text(), platform::toLowerAscii(fresh + ".SLB"));
        EXPECT_EQ(dialog.libraryList()->count(), 0);
        EXPECT_TRUE(prompts.boxes.empty());

        click(dialog.fileList(), "STAR.SLD");
        press(IDC_ADD);
        EXPECT_EQ(namesIn(fresh + ".SLB"), std::vector<std::string> { "STAR" });
        EXPECT_EQ(entries(*dialog.libraryList()), std::vector<std::string> { "STAR" });
    }

    TEST_F(ManagerTest, FileClicksPreviewAndDirectoryClicksEnter)
    {
        open();
        click(dialog.fileList(), "circle.sld");
        int lit = litPixels(dialog.filePreview());
        EXPECT_GT(lit, 20);
        QImage shown = dialog.filePreview()->image();

        click(dialog.fileList(), "[sub]");
        EXPECT_EQ(entries(*dialog.fileList()), (std::vector<std::string> { "[..]", "HOUSE.SLD" }));
        EXPECT_EQ(dialog.directoryText()->text(), work + "/sub");
        EXPECT_EQ(fs::current_path().string(), work + "/sub");
        EXPECT_EQ(dialog.filePreview()->image(), shown); // the preview stays

        click(dialog.fileList(), "[..]");
        EXPECT_EQ(dialog.directoryText()->text(), work);
        EXPECT_TRUE(prompts.boxes.empty());
    }

    TEST_F(ManagerTest, ChoosingADriveListsItsDirectory)
    {
        std::string src = fs::canonical(tmp.path() / "src").string();
        ::setenv("QORVAN_DRIVE_Q", src.c_str(), 1);
        open();
        ComboBox* combo = dialog.driveCombo();
        int q = indexOf(*combo, "[-q-]");
        ASSERT_GE(q, 0);
        combo->setCurrentIndex(q);
        emit combo->activated(q); // what picking it from the list does
        ::unsetenv("QORVAN_DRIVE_Q");
        EXPECT_EQ(dialog.directoryText()->text(), src);
        EXPECT_EQ(entries(*dialog.fileList()),
            (std::vector<std::string> { "[..]", "ARROW.SLD", "DOOR.SLD", "GEAR.SLD" }));

        int root = indexOf(*combo, "[-/-]");
        combo->setCurrentIndex(root);
        emit combo->activated(root);
        EXPECT_EQ(dialog.directoryText()->text(), "/");
        EXPECT_EQ(fs::current_path().string(), "/");
    }

    TEST_F(ManagerTest, LibrarySelectionPreviewsEachSlide)
    {
        open();
        chooseLibrary(lib);
        click(dialog.libraryList(), "ARROW");
        QImage arrow = dialog.libraryPreview()->image();
        click(dialog.libraryList(), "GEAR");
        QImage gear = dialog.libraryPreview()->image();
        EXPECT_GT(litPixels(arrow), 20);
        EXPECT_GT(litPixels(gear), 20);
        EXPECT_NE(arrow, gear);
        EXPECT_TRUE(prompts.boxes.empty());
    }

    TEST_F(ManagerTest, PreviewFailureShowsTheStatusMessage)
    {
        tmp.write("work/BAD.SLD", "garbage, not a slide");
        open();
        click(dialog.fileList(), "BAD.SLD");
        ASSERT_EQ(prompts.boxes.size(), 1u);
        EXPECT_EQ(prompts.boxes[0].text, statusMessage());
        EXPECT_EQ(prompts.boxes[0].text, "Error reading slide file. *Invalid*");
        EXPECT_EQ(prompts.boxes[0].caption, "");
        EXPECT_EQ(prompts.boxes[0].buttons, Buttons::Ok);
    }

    TEST_F(ManagerTest, AddExtractAndDeleteSelected)
    {
        open();
        chooseLibrary(lib);
        click(dialog.fileList(), "BOX.SLD");
        press(IDC_ADD);
        EXPECT_EQ(namesIn(lib), (std::vector<std::string> { "GEAR", "DOOR", "ARROW", "BOX" }));
        EXPECT_EQ(
            entries(*dialog.libraryList()), (std::vector<std::string> { "ARROW", "BOX", "DOOR", "GEAR" }));

        // Adding it again fails with the store's message, and the lists stay.
        click(dialog.fileList(), "BOX.SLD");
        press(IDC_ADD);
        ASSERT_EQ(prompts.boxes.size(), 1u);
        EXPECT_EQ(prompts.boxes[0].text, "Slide BOX already exists in library " + lib + ".");

        click(dialog.libraryList(), "GEAR");
        press(IDC_EXTRACT);
        bool listed = false;
        for (const auto& e : entries(*dialog.fileList()))
            listed = listed || platform::equalsNoCase(e, "GEAR.SLD");
        EXPECT_TRUE(listed); // extracted into the browsed directory, which was refreshed

        // Deleting the last entry moves the selection to the new last one.
        click(dialog.libraryList(), "GEAR");
        press(IDC_DELETE);
        EXPECT_EQ(namesIn(lib), (std::vector<std::string> { "DOOR", "ARROW", "BOX" }));
        EXPECT_EQ(dialog.libraryList()->currentSelection(), 2);
        std::string sel;
        dialog.libraryList()->text(2, sel);
        EXPECT_EQ(sel, "DOOR");
        EXPECT_EQ(prompts.boxes.size(), 1u);
    }

    TEST_F(ManagerTest, DeletingTheOnlySlideEmptiesTheList)
    {
        std::string one = work + "/ONE.SLB";
        ASSERT_EQ(appendSlide(one.c_str(), (work + "/STAR.SLD").c_str()), 0);
        open();
        chooseLibrary(one);
        ASSERT_EQ(dialog.libraryList()->count(), 1);
        press(IDC_DELETE);
        EXPECT_EQ(dialog.libraryList()->count(), 0);
        EXPECT_EQ(dialog.libraryList()->currentSelection(), -1);
        EXPECT_TRUE(namesIn(one).empty());
    }

    TEST_F(ManagerTest, AddAllAddsEverySldEntryAndReportsEachFailure)
    {
        open();
        chooseLibrary(lib);
        press(IDC_ADD_ALL);
        // [odd.sld] contains ".SLD" and fails as a slide; the others go in.
        ASSERT_EQ(prompts.boxes.size(), 1u);
        EXPECT_EQ(entries(*dialog.libraryList()),
            (std::vector<std::string> { "ARROW", "BOX", "CIRCLE", "DOOR", "GEAR", "STAR" }));
        EXPECT_EQ(namesIn(lib).size(), 6u);
    }

    TEST_F(ManagerTest, DeleteAllAsksAndCancelChangesNothing)
    {
        open();
        chooseLibrary(lib);
        std::string before = readFile(lib);
        prompts.boxAnswers = { IDCANCEL };
        press(IDC_DELETE_ALL);
        ASSERT_EQ(prompts.boxes.size(), 1u);
        EXPECT_EQ(prompts.boxes[0].text, "Delete all slides from " + lib);
        EXPECT_EQ(prompts.boxes[0].caption, "Qorvan");
        EXPECT_EQ(prompts.boxes[0].buttons, Buttons::OkCancel);
        EXPECT_TRUE(prompts.boxes[0].owned);
        EXPECT_EQ(readFile(lib), before);
        EXPECT_EQ(dialog.libraryList()->count(), 3);

        prompts.boxAnswers = { IDOK };
        press(IDC_DELETE_ALL);
        EXPECT_TRUE(namesIn(lib).empty());
        EXPECT_EQ(dialog.libraryList()->count(), 0);
        EXPECT_EQ(prompts.boxes.size(), 2u);
    }

    TEST_F(ManagerTest, ExtractAllAsksThenWritesEverySlide)
    {
        open();
        chooseLibrary(lib);
        click(dialog.fileList(), "[sub]");
        std::string dir = dialog.CurrentDirectory();
        prompts.boxAnswers = { IDCANCEL };
        press(IDC_EXTRACT_ALL);
        ASSERT_EQ(prompts.boxes.size(), 1u);
        EXPECT_EQ(prompts.boxes[0].text, "Extract all slides from " + lib + " to " + dir);
        EXPECT_EQ(prompts.boxes[0].caption, "Qorvan");
        EXPECT_EQ(entries(*dialog.fileList()), (std::vector<std::string> { "[..]", "HOUSE.SLD" }));

        prompts.boxAnswers = { IDOK };
        press(IDC_EXTRACT_ALL);
        auto listed = entries(*dialog.fileList());
        EXPECT_EQ(listed.size(), 5u);
        for (const char* s : { "ARROW", "DOOR", "GEAR" }) {
            bool found = false;
            for (const auto& e : listed)
                found = found || platform::equalsNoCase(e, std::string(s) + ".sld");
            EXPECT_TRUE(found) << s;
        }
        EXPECT_EQ(prompts.boxes.size(), 2u);
    }

    TEST_F(ManagerTest, DoubleClicksOpenTheViewer)
    {
        open();
        chooseLibrary(lib);
        std::vector<std::string> captions;
        std::vector<int> lit;
        TemplateDialog::setModalHook([&](TemplateDialog& d) {
            captions.push_back(d.windowTitle().toStdString());
            if (auto* v = dynamic_cast<ViewSlideDialog*>(&d)) {
                EXPECT_TRUE(QTest::qWaitForWindowExposed(v));
                v->repaint();
                lit.push_back(litPixels(v->picture()));
            }
            d.reject();
        });
        click(dialog.libraryList(), "DOOR", true);
        click(dialog.fileList(), "STAR.SLD", true);
        TemplateDialog::setModalHook(nullptr);
        std::string base = platform::toUpperAscii(work + "/SYMBOLS");
        ASSERT_EQ(captions.size(), 2u);
        EXPECT_EQ(captions[0], base + "(DOOR)");
        EXPECT_EQ(captions[1], platform::toUpperAscii(work + "/STAR.SLD"));
        ASSERT_EQ(lit.size(), 2u);
        EXPECT_GT(lit[0], 20);
        EXPECT_GT(lit[1], 20);
        EXPECT_EQ(dialog.LibrarySlideRef("door"), base + "(DOOR)");
        EXPECT_TRUE(prompts.boxes.empty());
    }

    TEST_F(ManagerTest, AboutOpensModally)
    {
        open();
        std::vector<std::string> captions;
        TemplateDialog::setModalHook([&](TemplateDialog& d) {
            captions.push_back(d.windowTitle().toStdString());
            d.reject();
        });
        press(3);
        TemplateDialog::setModalHook(nullptr);
        EXPECT_EQ(captions, std::vector<std::string> { "About Qorvan" });
    }

    TEST_F(ManagerTest, AnUnreadableLibraryListsNothingSilently)
    {
        tmp.write("work/JUNK.SLB", "this is not a library");
        open();
        chooseLibrary(work + "/JUNK.SLB");
        EXPECT_EQ(dialog.libraryList()->count(), 0);
        EXPECT_TRUE(prompts.boxes.empty());
        // The next operation reports the store's status.
        click(dialog.fileList(), "BOX.SLD");
        press(IDC_ADD);
        ASSERT_EQ(prompts.boxes.size(), 1u);
        EXPECT_EQ(prompts.boxes[0].text, "Slide library invalid.");
    }

    TEST(CopyFileInChunks, CopiesAcrossChunksAndReportsAnUnwritableDestination)
    {
        TempDir t;
        ScriptedPrompts prompts;
        std::string big;
        for (std::size_t i = 0; i < 2 * COPY_CHUNK + 123; ++i)
            big += static_cast<char>(i * 7);
        t.write("big.slb", big);
        t.write("exact.slb", big.substr(0, COPY_CHUNK));
        EXPECT_TRUE(CopyFileInChunks(t.str("big.bak"), t.str("big.slb")));
        EXPECT_EQ(readFile(t.path() / "big.bak"), big);
        EXPECT_TRUE(CopyFileInChunks(t.str("exact.bak"), t.str("exact.slb")));
        EXPECT_EQ(readFile(t.path() / "exact.bak"), big.substr(0, COPY_CHUNK));

        EXPECT_TRUE(CopyFileInChunks(t.str("none.bak"), t.str("none.slb")));
        EXPECT_FALSE(std::filesystem::exists(t.path() / "none.bak"));
        EXPECT_TRUE(prompts.boxes.empty());

        std::string bad = t.str("no/such/dir/big.bak");
        EXPECT_FALSE(CopyFileInChunks(bad, t.str("big.slb")));
        ASSERT_EQ(prompts.boxes.size(), 1u);
        EXPECT_EQ(prompts.boxes[0].text, "File can't open : " + bad);
        EXPECT_EQ(prompts.boxes[0].caption, "Error");
        EXPECT_EQ(prompts.boxes[0].icon, Icon::Error);
        EXPECT_FALSE(prompts.boxes[0].owned);

        // A short read ends the copy silently, and a backup cut short never
        // replaces the previous one.
        t.write("short.bak", "previous backup");
        platform::faults::resetCounts();
        platform::faults::arm(platform::IoOp::Read, 2);
        EXPECT_TRUE(CopyFileInChunks(t.str("short.bak"), t.str("big.slb")));
        platform::faults::disarm();
        EXPECT_EQ(readFile(t.path() / "short.bak"), "previous backup");
        EXPECT_EQ(prompts.boxes.size(), 1u);
        for (const auto& e : std::filesystem::directory_iterator(t.path()))
            EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
    }

    TEST(CopyFileInChunks, NeverBacksALibraryUpOntoItself)
    {
        // A library called X.bak: the backup's name is its own, exactly or
        // after case-insensitive lookup.
        struct Case {
            const char* library;
            const char* backup;
        };
        const Case cases[] = { { "old.bak", "old.bak" }, { "OLD.BAK", "OLD.bak" }, { "Old.Bak", "old.bak" } };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.library);
            TempDir t;
            ScriptedPrompts prompts;
            const std::string lib = std::string(COPY_CHUNK + 5, 'L');
            t.write(c.library, lib);
            EXPECT_TRUE(CopyFileInChunks(t.str(c.backup), t.str(c.library)));
            EXPECT_EQ(readFile(t.path() / c.library), lib);
            EXPECT_TRUE(prompts.boxes.empty());
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(t.path()),
                          std::filesystem::directory_iterator()),
                1);
        }
    }

} // namespace
} // namespace qorvan::ui
