// The slb-view and QORVAN handlers against a scripted host: the module's
// resource handle and templates are selected while the dialog runs and
// restored on every path out; arguments and defaults reach the dialog.
#include "host/extension_module.h"
#include "host/handlers.h"
#include "store/status.h"
#include "tests/host/fake_host.h"
#include "ui/manager_dialog.h"
#include "ui/view_slide_dialog.h"

#include <gtest/gtest.h>

namespace qorvan::host {
namespace {

    using namespace qorvan::testing;

    struct OtherTemplates : ui::TemplateSource {
        const ui::DialogTemplate* findTemplate(int) const override { return nullptr; }
    };

    class ViewHandlers : public ::testing::Test {
    protected:
        void SetUp() override
        {
            fakeHost().reset();
            AfxGetModuleState()->m_hCurrentResourceHandle = HOST_RESOURCES;
            previousSource = ui::setCurrentTemplateSource(&other);
            ui::TemplateDialog::setModalHook([this](ui::TemplateDialog& d) {
                Seen s;
                s.id = d.templateId();
                s.caption = d.windowTitle().toStdString();
                s.source = ui::currentTemplateSource();
                s.resource = AfxGetModuleState()->m_hCurrentResourceHandle;
                if (auto* v = dynamic_cast<ui::ViewSlideDialog*>(&d)) {
                    s.width = v->pictureWidth();
                    s.height = v->pictureHeight();
                }
                seen.push_back(s);
                d.reject();
            });
        }
        void TearDown() override
        {
            ui::TemplateDialog::setModalHook(nullptr);
            freeChain(fakeHost().args);
            fakeHost().args = nullptr;
            ui::setCurrentTemplateSource(previousSource);
        }
        void expectRestored()
        {
            EXPECT_EQ(AfxGetModuleState()->m_hCurrentResourceHandle, HOST_RESOURCES);
            EXPECT_EQ(ui::currentTemplateSource(), &other);
        }

        struct Seen {
            int id = 0;
            std::string caption;
            const ui::TemplateSource* source = nullptr;
            HINSTANCE resource = nullptr;
            int width = 0, height = 0;
        };
        HINSTANCE HOST_RESOURCES = reinterpret_cast<HINSTANCE>(0x5eed);
        OtherTemplates other;
        const ui::TemplateSource* previousSource = nullptr;
        std::vector<Seen> seen;
    };

    TEST_F(ViewHandlers, SlbViewArgumentsAndDefaults)
    {
        struct {
            std::initializer_list<Node> args;
            const char* caption;
            int width, height;
        } cases[] = {
            { { { RTSTR, "plan" } }, "PLAN", 420, 300 },
            { { { RTSTR, "plan" }, { RTSTR, "Floor" }, { RTSHORT, "", 600 } }, "Floor", 600, 300 },
            { { { RTSTR, "plan" }, { RTSTR, "Floor" }, { RTREAL, "", 0, 600.0 }, { RTSHORT, "", 400 } },
                "Floor", 420, 400 },
        };
        for (const auto& c : cases) {
            seen.clear();
            freeChain(fakeHost().args);
            fakeHost().args = makeChain(c.args);
            fakeHost().ret = FakeHost::Ret::None;
            EXPECT_EQ(slbView(), RTNORM);
            ASSERT_EQ(seen.size(), 1u);
            EXPECT_EQ(seen[0].id, ui::IDD_VIEW_SLIDE);
            EXPECT_EQ(seen[0].caption, c.caption);
            EXPECT_EQ(seen[0].width, c.width);
            EXPECT_EQ(seen[0].height, c.height);
            EXPECT_EQ(seen[0].source, &ui::moduleTemplates());
            EXPECT_EQ(seen[0].resource, moduleInstance());
            EXPECT_EQ(fakeHost().ret, FakeHost::Ret::Void);
            expectRestored();
        }
    }

    TEST_F(ViewHandlers, SlbViewFailuresRestoreAndShowNothing)
    {
        EXPECT_NE(slbView(), RTNORM); // no arguments
        EXPECT_NE(fakeHost().printed.find("\nerror: to few arguments\n"), std::string::npos);
        expectRestored();
        fakeHost().args = makeChain({ { RTSHORT, "", 3 } });
        EXPECT_NE(slbView(), RTNORM);
        EXPECT_NE(fakeHost().printed.find("\nerror: invalid argument\n"), std::string::npos);
        expectRestored();
        EXPECT_TRUE(seen.empty());
        EXPECT_EQ(fakeHost().ret, FakeHost::Ret::None);
    }

    TEST_F(ViewHandlers, QorvanRunsTheManagerWithTheModuleTemplates)
    {
        setStatus(InvalidSlide, nullptr, nullptr);
        for (int run = 0; run < 2; ++run) {
            EXPECT_EQ(qorvanCommand(), RTNORM);
            expectRestored();
        }
        ASSERT_EQ(seen.size(), 2u);
        EXPECT_EQ(seen[1].id, ui::IDD_MANAGER);
        EXPECT_EQ(seen[1].caption, "Qorvan : Version 1.5");
        EXPECT_EQ(seen[1].source, &ui::moduleTemplates());
        EXPECT_EQ(lastStatus(), Ok);
        EXPECT_NE(fakeHost().printed.find("\nQorvan & Library Handling Functions"), std::string::npos);
    }

} // namespace
} // namespace qorvan::host
