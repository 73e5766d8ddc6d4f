// CHyperLink: attach, options, fitting to the text, colours through the
// pointer and the focus, opening the target and the launch errors; and the
// About dialog that holds two of them.
#include "ui/about_dialog.h"
#include "ui/about_texts.h"
#include "ui/launch.h"

#include "tests/ui/scripted_prompts.h"

#include <QFontMetrics>
#include <QTest>

#include <gtest/gtest.h>

namespace qorvan::ui {
namespace {

    using qorvan::testing::ScriptedPrompts;

    class FakeLauncher : public Launcher {
    public:
        FakeLauncher()
            : previous_(setLauncher(this))
        {
        }
        ~FakeLauncher() override { setLauncher(previous_); }
        std::deque<int> results;
        std::vector<std::string> opened;
        int shellOpen(const std::string& url, int) override
        {
            opened.push_back(url);
            int r = results.empty() ? 42 : results.front();
            if (!results.empty()) results.pop_front();
            return r;
        }
        std::optional<std::string> htmlOpenCommand() override { return std::nullopt; }
        int execCommandLine(const std::string&, int) override { return 0; }

    private:
        Launcher* previous_;
    };

    // A template of links in each alignment, one with no text.
    constexpr ControlTemplate LINK_CONTROLS[] = {
        { 10, ControlClass::Static, "left link", WS_CHILD | WS_VISIBLE | SS_LEFT, 0, { 10, 10, 120, 10 } },
        { 11, ControlClass::Static, "centred link", WS_CHILD | WS_VISIBLE | SS_CENTER, 0,
            { 10, 30, 121, 10 } },
        { 12, ControlClass::Static, "right", WS_CHILD | WS_VISIBLE | SS_RIGHT | SS_CENTERIMAGE, 0,
            { 10, 50, 120, 21 } },
        { 13, ControlClass::Static, "", WS_CHILD | WS_VISIBLE | SS_LEFT, 0, { 10, 80, 120, 10 } },
    };
    constexpr DialogTemplate LINK_TEMPLATE
        = { 500, WS_POPUP | WS_CAPTION, "Links", "MS Sans Serif", 10, 150, 100, LINK_CONTROLS };

    struct LinkSource : TemplateSource {
        const DialogTemplate* findTemplate(int id) const override
        {
            return id == 500 ? &LINK_TEMPLATE : nullptr;
        }
    };

    class LinkDialog : public TemplateDialog {
    public:
        LinkDialog()
            : TemplateDialog(500, nullptr)
        {
            links[3].SetTarget("https://preset/");
        }
        CHyperLink links[4];

    protected:
        void DoDataExchange() override
        {
            for (int i = 0; i < 4; ++i)
                SubclassDlgItem(10 + i, &links[i]);
        }
    };

    class HyperLinkTest : public ::testing::Test {
    protected:
        LinkSource source;
        TemplateScope scope { source };
    };

    TEST_F(HyperLinkTest, AttachTakesTextAsTargetAndTargetAsText)
    {
        LinkDialog d;
        ASSERT_TRUE(d.Create());
        EXPECT_EQ(d.links[0].target(), "left link");
        EXPECT_EQ(d.links[0].toolTip(), "left link");
        EXPECT_EQ(d.links[3].text(), "https://preset/");
        EXPECT_EQ(d.links[0].options(), 0x15u);
        EXPECT_TRUE(d.links[0].font().underline());
        ASSERT_TRUE(CHyperLink::handCursor().has_value());
        EXPECT_EQ(d.links[0].cursor().shape(), Qt::PointingHandCursor);
        EXPECT_EQ(controlId(&d.links[1]), 11);
    }

    TEST_F(HyperLinkTest, FitToTextByAlignment)
    {
        LinkDialog d;
        ASSERT_TRUE(d.Create());
        BaseUnits u = d.units();
        auto extent
            = [&](CHyperLink& l) { return QFontMetrics(l.font()).size(Qt::TextSingleLine, l.text()); };
        auto du = [&](int x, int y, int cx, int cy) { return toPixels({ x, y, cx, cy }, u); };

        QSize e0 = extent(d.links[0]);
        QRect r0 = du(10, 10, 120, 10);
        EXPECT_EQ(d.links[0].geometry(), QRect(r0.topLeft(), e0));

        QSize e1 = extent(d.links[1]);
        QRect r1 = du(10, 30, 121, 10);
        int half = (r1.width() - e1.width()) / 2;
        EXPECT_EQ(
            d.links[1].geometry(), QRect(r1.left() + half, r1.top(), r1.width() - 2 * half, e1.height()));

        QSize e2 = extent(d.links[2]);
        QRect r2 = du(10, 50, 120, 21);
        int vhalf = (r2.height() - e2.height()) / 2;
        EXPECT_EQ(d.links[2].geometry(),
            QRect(r2.right() + 1 - e2.width(), r2.top() + vhalf, e2.width(), r2.height() - 2 * vhalf));
    }

    TEST_F(HyperLinkTest, ChangeOptions)
    {
        LinkDialog d;
        ASSERT_TRUE(d.Create());
        CHyperLink& l = d.links[0];
        EXPECT_FALSE(l.ChangeOptions(
            CHyperLink::LinkHoverColor, CHyperLink::LinkHoverColor | CHyperLink::LinkOpenOnPress, true));
        EXPECT_EQ(l.options(), 0x15u);
        EXPECT_TRUE(l.ChangeOptions(CHyperLink::LinkUnderline, CHyperLink::LinkNoActiveColor, true));
        EXPECT_EQ(l.options(), 0x54u);
        EXPECT_FALSE(l.font().underline());
        QSize plain = l.size();
        EXPECT_TRUE(l.ChangeOptions(0, CHyperLink::LinkUnderline, false)); // not applied: font stays
        EXPECT_FALSE(l.font().underline());
        EXPECT_EQ(l.size(), plain);
    }

    TEST_F(HyperLinkTest, ColoursFollowHoverFocusAndVisits)
    {
        FakeLauncher launch;
        ScriptedPrompts prompts;
        LinkDialog d;
        ASSERT_TRUE(d.Create());
        d.show();
        d.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
        CHyperLink& l = d.links[0];
        l.ChangeOptions(0, CHyperLink::LinkHoverColor, true);
        EXPECT_EQ(l.textColor(), CHyperLink::linkColor);

        QTest::mouseMove(&l, QPoint(2, 2));
        EXPECT_TRUE(l.hover());
        EXPECT_EQ(l.textColor(), CHyperLink::hoverColor);

        QTest::mouseClick(&l, Qt::LeftButton, {}, QPoint(2, 2));
        ASSERT_EQ(launch.opened, std::vector<std::string> { "left link" });
        EXPECT_TRUE(l.visited());
        EXPECT_TRUE(l.hasFocus());
        EXPECT_EQ(l.textColor(), CHyperLink::hoverColor); // still under the pointer

        QTest::mouseMove(&l, QPoint(l.width() + 20, l.height() + 20));
        EXPECT_FALSE(l.hover());
        EXPECT_EQ(l.textColor(), CHyperLink::activeColor); // focused, pointer elsewhere

        d.links[1].setFocus();
        EXPECT_FALSE(l.active());
        EXPECT_EQ(l.textColor(), CHyperLink::visitedColor);

        // With LinkNoActiveColor a focused visited link stays purple.
        l.ChangeOptions(0, CHyperLink::LinkNoActiveColor, true);
        l.setFocus();
        EXPECT_TRUE(l.active());
        EXPECT_EQ(l.textColor(), CHyperLink::visitedColor);
        EXPECT_TRUE(prompts.boxes.empty());

        // The colour is what gets painted.
        QImage shot = l.grab().toImage();
        bool purple = false;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                purple = purple || shot.pixelColor(x, y) == CHyperLink::visitedColor;
        EXPECT_TRUE(purple);
    }

    TEST_F(HyperLinkTest, SpaceOpensAndOpenOnPressOpensBeforeRelease)
    {
        FakeLauncher launch;
        LinkDialog d;
        ASSERT_TRUE(d.Create());
        d.show();
        d.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
        d.links[1].setFocus();
        QTest::keyClick(&d.links[1], Qt::Key_Space);
        QTest::keyClick(&d.links[1], Qt::Key_A);
        EXPECT_EQ(launch.opened, std::vector<std::string> { "centred link" });

        d.links[2].ChangeOptions(0, CHyperLink::LinkOpenOnPress, true);
        QTest::mousePress(&d.links[2], Qt::LeftButton, {}, QPoint(1, 1));
        EXPECT_EQ(launch.opened.size(), 2u);
        QTest::mouseRelease(&d.links[2], Qt::LeftButton, {}, QPoint(1, 1));
        EXPECT_EQ(launch.opened.size(), 2u);
    }

    TEST_F(HyperLinkTest, FailedLaunchBeepsShowsTheErrorAndStaysUnvisited)
    {
        struct {
            int result;
            const char* message; // null: success
        } cases[] = {
            { 2, "Can't open link:\n\nThe specified file was not found." },
            { 4, "Can't open link:\n\nUnknown Error (4) occurred." },
            { 32, "Can't open link:\n\nThe specified dynamic-link library was not found." },
            { 42, nullptr },
            { 33, nullptr },
        };
        for (const auto& c : cases) {
            FakeLauncher launch;
            ScriptedPrompts prompts;
            LinkDialog d;
            ASSERT_TRUE(d.Create());
            launch.results = { c.result };
            d.links[0].OpenTarget();
            if (c.message) {
                ASSERT_EQ(prompts.boxes.size(), 1u) << c.result;
                EXPECT_EQ(prompts.boxes[0].text, c.message);
                EXPECT_EQ(prompts.boxes[0].caption, ""); // the default caption
                EXPECT_EQ(prompts.boxes[0].icon, Icon::Exclamation);
                EXPECT_EQ(prompts.beeps, 1);
                EXPECT_FALSE(d.links[0].visited());
            } else {
                EXPECT_TRUE(prompts.boxes.empty()) << c.result;
                EXPECT_TRUE(d.links[0].visited());
            }
        }
    }

    TEST(AboutDialog, LinksAreBoundWithTheirTargetsAndHoverColour)
    {
        TemplateScope scope(moduleTemplates());
        AboutDialog about;
        ASSERT_TRUE(about.Create());
        EXPECT_EQ(about.windowTitle(), "About Qorvan");
        EXPECT_EQ(about.GetDlgItem(1060), &about.webLink());
        EXPECT_EQ(about.GetDlgItem(1061), &about.mailLink());
        EXPECT_EQ(about.webLink().text().toStdString(), ABOUT_WEB_TEXT);
        EXPECT_EQ(about.webLink().target(), ABOUT_WEB_TARGET);
        EXPECT_EQ(about.webLink().toolTip().toStdString(), ABOUT_WEB_TARGET);
        EXPECT_EQ(about.mailLink().target(), std::string("mailto:") + ABOUT_MAIL_TEXT);
        EXPECT_EQ(about.webLink().options(), 0x17u);
        EXPECT_EQ(about.mailLink().options(), 0x17u);
        // Centred in its template rectangle 5,74 140x8.
        QRect slot = toPixels({ 5, 74, 140, 8 }, about.units());
        QRect g = about.webLink().geometry();
        EXPECT_LE(std::abs((g.left() - slot.left()) - (slot.right() - g.right())), 1);

        QImage picture = aboutPicture();
        EXPECT_EQ(picture.size(), QSize(130, 32));
        EXPECT_EQ(picture.format(), QImage::Format_Indexed8);
        EXPECT_LE(picture.colorCount(), 256);
    }

} // namespace
} // namespace qorvan::ui
