// The View Slide dialog: the setters, the fit step's arithmetic, the slide
// drawn on every paint, the failure box, and size clamping.
#include "ui/view_slide_dialog.h"
#include "ui/view_slide_fit.h"

#include "store/status.h"
#include "tests/ui/fixtures.h"
#include "tests/ui/scripted_prompts.h"

#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace qorvan::ui {
namespace {

    using namespace qorvan::testing;

    TEST(ViewSlideSetters, TitleAndReference)
    {
        struct {
            const char* ref;
            const char* stored;
            const char* title;
        } cases[] = {
            { "plan", "plan.SLD", "PLAN" },
            { "plan.sld", "plan.sld", "PLAN.SLD" },
            { "C:\\SLIDES\\SYMBOLS(DOOR)", "C:\\SLIDES\\SYMBOLS(DOOR).SLD", "C:\\SLIDES\\SYMBOLS(DOOR)" },
            { "lib(bolt).x", "lib(bolt).x", "LIB(BOLT).X" },
            { "", ".SLD", "" },
        };
        for (const auto& c : cases) {
            ViewSlideDialog d;
            EXPECT_EQ(d.title(), "View Slide");
            d.SetSlideRef(c.ref);
            EXPECT_EQ(d.slideRef(), c.stored) << c.ref;
            EXPECT_EQ(d.title(), c.title) << c.ref;
        }
        ViewSlideDialog d;
        d.SetSlideRef("plan");
        d.SetTitle("Floor");
        EXPECT_EQ(d.title(), "Floor");
        EXPECT_EQ(d.slideRef(), "plan.SLD");
        EXPECT_EQ(d.pictureWidth(), 420);
        EXPECT_EQ(d.pictureHeight(), 300);
    }

    TEST(ViewSlideFit, Arithmetic)
    {
        // A dialog 440 x 360 with a 420 x 300 picture and a 100 x 30 button.
        FitLayout f = fitLayout({ 440, 360 }, { 420, 300 }, { 100, 30 }, { 600, 200 });
        EXPECT_EQ(f.client.width, 620);
        EXPECT_EQ(f.client.height, 260);
        EXPECT_EQ(f.margin, 10);
        EXPECT_EQ(f.okX, 260);
        EXPECT_EQ(f.okY, (200 + 10 + 260 - 30) / 2);
        // Odd slack: halves truncate.
        f = fitLayout({ 441, 361 }, { 420, 300 }, { 101, 31 }, { 421, 301 });
        EXPECT_EQ(f.margin, 10);
        EXPECT_EQ(f.okX, (442 - 101) / 2);
        EXPECT_EQ(f.okY, (301 + 10 + 362 - 31) / 2);
    }

    TEST(ViewSlideFit, ClampKeepsSizesSane)
    {
        Size around { 20, 60 };
        Size screen { 800, 600 };
        struct {
            Size in, out;
        } cases[] = {
            { { 420, 300 }, { 420, 300 } },
            { { 0, 0 }, { MIN_PICTURE, MIN_PICTURE } },
            { { -50, 300 }, { MIN_PICTURE, 300 } },
            { { 32767, 32767 }, { 780, 540 } },
            { { 780, 540 }, { 780, 540 } },
        };
        for (const auto& c : cases) {
            Size s = clampPictureSize(c.in, screen, around);
            EXPECT_EQ(s.width, c.out.width) << c.in.width;
            EXPECT_EQ(s.height, c.out.height) << c.in.height;
        }
        Size noScreen = clampPictureSize({ 5000, 5000 }, { 0, 0 }, around);
        EXPECT_EQ(noScreen.width, 5000);
    }

    class ViewSlideDialogTest : public ::testing::Test {
    protected:
        void SetUp() override
        {
            tmp.write("BOX.SLD", sampleSlide("box.sld"));
            tmp.write("BROKEN.SLD", "not a slide at all");
        }
        TemplateScope scope { moduleTemplates() };
        TempDir tmp;
    };

    // The layout after the fit step: picture exactly the size asked, equal
    // left and top margins, OK its own size and centred below.
    void expectFitted(ViewSlideDialog& d, int w, int h)
    {
        PictureControl* pic = d.picture();
        auto* ok = d.DlgItem<QPushButton>(IDOK);
        EXPECT_EQ(pic->size(), QSize(w, h));
        EXPECT_EQ(pic->x(), pic->y());
        EXPECT_GT(pic->x(), 0);
        int slack = d.width() - w;
        EXPECT_TRUE(slack == 2 * pic->x() || slack == 2 * pic->x() + 1);
        EXPECT_LE(std::abs(ok->x() - (d.width() - ok->width() - ok->x())), 1);
        int bandTop = pic->y() + h;
        EXPECT_LE(std::abs((ok->y() - bandTop) - (d.height() - ok->y() - ok->height())), 1);
        EXPECT_GT(ok->y(), bandTop);
    }

    TEST_F(ViewSlideDialogTest, FitsThePictureToTheRequestedSize)
    {
        QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
        for (QSize want : { QSize(420, 300), QSize(600, 300), QSize(200, 150), QSize(421, 299) }) {
            ASSERT_LT(want.width(), screen.width());
            ViewSlideDialog d;
            d.SetSlideRef(tmp.str("BOX.SLD"));
            d.SetSize(want.width(), want.height());
            ASSERT_TRUE(d.Create());
            QSize okSize = toPixels({ 0, 0, 50, 15 }, d.units()).size();
            EXPECT_EQ(d.DlgItem<QPushButton>(IDOK)->size(), okSize);
            expectFitted(d, want.width(), want.height());
        }
    }

    TEST_F(ViewSlideDialogTest, OutOfRangeSizesAreClamped)
    {
        QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
        struct {
            int w, h;
        } cases[] = { { 0, 0 }, { -5, -300 }, { 30000, 30000 } };
        for (const auto& c : cases) {
            ViewSlideDialog d;
            d.SetSize(c.w, c.h);
            ASSERT_TRUE(d.Create());
            QSize pic = d.picture()->size();
            EXPECT_GE(pic.width(), MIN_PICTURE);
            EXPECT_GE(pic.height(), MIN_PICTURE);
            EXPECT_LE(d.width(), screen.width());
            EXPECT_LE(d.height(), screen.height());
        }
    }

    TEST_F(ViewSlideDialogTest, DrawsTheSlideOnEveryPaint)
    {
        ScriptedPrompts prompts;
        ViewSlideDialog d;
        d.SetSlideRef(tmp.str("BOX.SLD"));
        ASSERT_TRUE(d.Create());
        d.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
        d.repaint();
        int first = d.paints();
        EXPECT_GE(first, 1);
        EXPECT_GT(litPixels(d.picture()), 50);
        d.picture()->eraseToBlack();
        EXPECT_EQ(litPixels(d.picture()), 0);
        d.repaint();
        EXPECT_GT(d.paints(), first);
        EXPECT_GT(litPixels(d.picture()), 50);
        EXPECT_TRUE(prompts.boxes.empty());
        EXPECT_EQ(d.windowTitle().toStdString(), d.title());
    }

    TEST_F(ViewSlideDialogTest, EmptyReferenceDrawsNothingAndSaysNothing)
    {
        ScriptedPrompts prompts;
        ViewSlideDialog d;
        ASSERT_TRUE(d.Create());
        d.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
        d.repaint();
        QTest::qWait(20);
        EXPECT_EQ(d.paints(), 0);
        EXPECT_EQ(litPixels(d.picture()), 0);
        EXPECT_TRUE(prompts.boxes.empty());
    }

    TEST_F(ViewSlideDialogTest, FailingSlideShowsTheStatusOnEachLaterRepaint)
    {
        ScriptedPrompts prompts;
        ViewSlideDialog d;
        d.SetSlideRef(tmp.str("missing"));
        ASSERT_TRUE(d.Create());
        d.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
        QTest::qWait(20);
        ASSERT_GE(prompts.boxes.size(), 1u);
        EXPECT_EQ(prompts.boxes[0].text, statusMessage());
        EXPECT_NE(prompts.boxes[0].text.find("Can't open file"), std::string::npos);
        EXPECT_EQ(prompts.boxes[0].caption, "");
        std::size_t shown = prompts.boxes.size();
        QTest::qWait(300); // past the pause after a box closes
        d.repaint();
        QTest::qWait(20);
        EXPECT_EQ(prompts.boxes.size(), shown + 1);
        // Still usable: OK ends it.
        d.DlgItem<QPushButton>(IDOK)->click();
        EXPECT_EQ(d.result(), IDOK);
    }

} // namespace
} // namespace qorvan::ui
