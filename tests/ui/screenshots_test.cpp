// Writes a picture of each dialog, with real slides in the previews, to
// screenshots/ in the build directory, for people to look at. Fails when a
// dialog cannot be drawn or a preview stays black.
#include "tests/support/testdata.h"
#include "ui/about_dialog.h"
#include "ui/controls.h"
#include "ui/manager_dialog.h"
#include "ui/view_slide_dialog.h"

#include "platform/path.h"
#include "store/edit.h"
#include "tests/ui/fixtures.h"
#include "tests/ui/scripted_prompts.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace qorvan::ui {
namespace {

    using namespace qorvan::testing;
    namespace fs = std::filesystem;

    const fs::path REAL = testdataDir() / "real";
    const fs::path OUT = fs::path(QORVAN_BINARY_DIR) / "screenshots";

    // Real slides made by other software, in a stable order.
    std::vector<fs::path> realSlides(std::size_t count)
    {
        std::vector<fs::path> all;
        for (const auto& e : fs::recursive_directory_iterator(REAL))
            if (e.is_regular_file() && platform::equalsNoCase(e.path().extension().string(), ".sld"))
                all.push_back(e.path());
        std::sort(all.begin(), all.end());
        if (all.size() > count) all.resize(count);
        return all;
    }

    void save(QWidget& w, const std::string& name)
    {
        fs::create_directories(OUT);
        QImage shot = w.grab().toImage();
        ASSERT_FALSE(shot.isNull());
        ASSERT_TRUE(shot.save(QString::fromStdString((OUT / name).string())));
    }

    class Screenshots : public ::testing::Test {
    protected:
        void SetUp() override
        {
            if (!fs::exists(REAL)) GTEST_SKIP() << "no real slides at " << REAL;
        }
        TemplateScope scope { moduleTemplates() };
        ScriptedPrompts prompts;
        CwdGuard cwd;
    };

    TEST_F(Screenshots, ViewSlide)
    {
        auto slides = realSlides(40);
        ASSERT_FALSE(slides.empty());
        ViewSlideDialog d;
        d.SetSlideRef(slides.back().string());
        ASSERT_TRUE(d.Create());
        d.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
        d.repaint();
        EXPECT_GT(litPixels(d.picture()), 100);
        EXPECT_TRUE(prompts.boxes.empty()) << prompts.boxes[0].text;
        save(d, "view_slide.png");
    }

    TEST_F(Screenshots, ViewLibrarySlide)
    {
        fs::path lib = REAL / "mnasoft-MNAS_acad_utils/acad_w.sup/CIRCLES.slb";
        if (!fs::exists(lib)) GTEST_SKIP() << "no " << lib;
        std::string base = lib.string();
        base.resize(base.size() - 4);
        ViewSlideDialog d;
        d.SetSlideRef(base + "(C_R)");
        d.SetSize(360, 240);
        ASSERT_TRUE(d.Create());
        d.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
        d.repaint();
        EXPECT_GT(litPixels(d.picture()), 100);
        EXPECT_TRUE(prompts.boxes.empty()) << prompts.boxes[0].text;
        save(d, "view_library_slide.png");
    }

    TEST_F(Screenshots, Manager)
    {
        TempDir tmp;
        auto slides = realSlides(12);
        for (const fs::path& s : slides)
            fs::copy_file(s, tmp.path() / s.filename(), fs::copy_options::skip_existing);
        fs::create_directories(tmp.path() / "symbols");
        std::string lib = (tmp.path() / "CIVIL.SLB").string();
        for (std::size_t i = 0; i < slides.size() && i < 8; ++i)
            appendSlide(lib.c_str(), (tmp.path() / slides[i].filename()).string().c_str());
        fs::current_path(tmp.path());

        ManagerDialog d;
        ASSERT_TRUE(d.Create());
        d.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
        prompts.fileAnswers.push_back(lib);
        d.DlgItem<QPushButton>(IDC_SELECT_LIBRARY)->click();
        ListBox* files = d.fileList();
        int pick = files->count() - 1;
        files->setCurrentRow(pick); // as a click does
        EXPECT_GT(litPixels(d.filePreview()), 50);
        EXPECT_GT(litPixels(d.libraryPreview()), 50);
        EXPECT_TRUE(prompts.boxes.empty()) << prompts.boxes[0].text;
        save(d, "manager.png");
    }

    TEST_F(Screenshots, About)
    {
        AboutDialog about;
        ASSERT_TRUE(about.Create());
        about.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
        save(about, "about.png");
    }

} // namespace
} // namespace qorvan::ui
