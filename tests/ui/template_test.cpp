// Dialogs built from templates: controls by id, their classes, texts and
// styles, placement in dialog units, sorting, and the template source.
#include "platform/path.h"
#include "ui/about_dialog.h"
#include "ui/controls.h"
#include "ui/picture_control.h"
#include "ui/template_dialog.h"

#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace qorvan::ui {
namespace {

    struct Expected {
        int id;
        const char* type; // Qt class name
        const char* text;
    };

    void expectControls(int templateId, const std::vector<Expected>& expected)
    {
        TemplateScope scope(moduleTemplates());
        TemplateDialog dialog(templateId, nullptr);
        ASSERT_TRUE(dialog.Create());
        const DialogTemplate* t = moduleTemplates().findTemplate(templateId);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(dialog.windowTitle().toStdString(), t->caption);
        BaseUnits u = dialog.units();
        EXPECT_GT(u.width, 3);
        EXPECT_GT(u.height, 8);
        EXPECT_EQ(dialog.size(), QSize(mulDiv(t->cx, u.width, 4), mulDiv(t->cy, u.height, 8)));
        for (const Expected& e : expected) {
            QWidget* w = dialog.GetDlgItem(e.id);
            ASSERT_NE(w, nullptr) << e.id;
            EXPECT_STREQ(w->metaObject()->className(), e.type) << e.id;
            QString text;
            if (auto* b = qobject_cast<QPushButton*>(w)) text = b->text();
            if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
            EXPECT_EQ(text.toStdString(), e.text) << e.id;
            // Inside the client area: a wrong conversion puts controls outside.
            EXPECT_TRUE(QRect(QPoint(0, 0), dialog.size()).contains(w->geometry())) << e.id;
        }
    }

    TEST(Templates, ManagerHasEveryControl)
    {
        expectControls(IDD_MANAGER,
            {
                { 1, "QPushButton", "&OK" },
                { 3, "QPushButton", "&About" },
                { 1050, "qorvan::ui::StaticText", "Slide Directory:" },
                { 1051, "qorvan::ui::ListBox", "" },
                { 1052, "qorvan::ui::ComboBox", "" },
                { 1056, "QPushButton", ">>" },
                { 1055, "QPushButton", ">" },
                { 1059, "QPushButton", "<" },
                { 1060, "QPushButton", "<<" },
                { 1053, "qorvan::ui::StaticText", "Slide Library:" },
                { 1054, "qorvan::ui::ListBox", "" },
                { 1057, "QPushButton", "&Delete" },
                { 1058, "QPushButton", "D&elete All" },
                { 1062, "qorvan::ui::PictureControl", "" },
                { 1063, "qorvan::ui::PictureControl", "" },
                { 1061, "QPushButton", "&Select" },
            });
    }

    TEST(Templates, ViewSlideAndAbout)
    {
        expectControls(
            IDD_VIEW_SLIDE, { { 1049, "qorvan::ui::PictureControl", "" }, { 1, "QPushButton", "&OK" } });
        expectControls(IDD_ABOUT,
            { { 1060, "qorvan::ui::StaticText", "https://qorvan.dev" },
                { 1061, "qorvan::ui::StaticText", "team@qorvan.dev" }, { 1, "QPushButton", "OK" } });
    }

    TEST(Templates, PlacementFollowsDialogUnits)
    {
        TemplateScope scope(moduleTemplates());
        TemplateDialog dialog(IDD_MANAGER, nullptr);
        ASSERT_TRUE(dialog.Create());
        BaseUnits u = dialog.units();
        // OK at 65,200 size 50x14; the library list at 140,98 size 100x80.
        EXPECT_EQ(dialog.GetDlgItem(1)->geometry(),
            QRect(mulDiv(65, u.width, 4), mulDiv(200, u.height, 8), mulDiv(50, u.width, 4),
                mulDiv(14, u.height, 8)));
        EXPECT_EQ(dialog.GetDlgItem(1054)->geometry(),
            QRect(mulDiv(140, u.width, 4), mulDiv(98, u.height, 8), mulDiv(100, u.width, 4),
                mulDiv(80, u.height, 8)));
        // Both previews are the same size and side by side.
        QRect a = dialog.GetDlgItem(1062)->geometry(), b = dialog.GetDlgItem(1063)->geometry();
        EXPECT_EQ(a.size(), b.size());
        EXPECT_EQ(a.top(), b.top());
        EXPECT_LT(a.right(), b.left());
        // The default button, and tab stops in template order.
        EXPECT_TRUE(dialog.DlgItem<QPushButton>(1)->isDefault());
        EXPECT_FALSE(dialog.DlgItem<QPushButton>(3)->isDefault());
        EXPECT_EQ(dialog.GetDlgItem(1050)->focusPolicy(), Qt::NoFocus);
        EXPECT_EQ(dialog.GetDlgItem(1051)->focusPolicy(), Qt::StrongFocus);
        EXPECT_EQ(controlStyle(dialog.GetDlgItem(1051)) & (LBS_SORT | LBS_NOTIFY), LBS_SORT | LBS_NOTIFY);
        EXPECT_EQ(controlId(dialog.GetDlgItem(1063)), 1063);
    }

    TEST(Templates, MulDivRoundsLikeTheFramework)
    {
        EXPECT_EQ(mulDiv(5, 7, 4), 9); // 8.75
        EXPECT_EQ(mulDiv(6, 6, 4), 9); // 9.0
        EXPECT_EQ(mulDiv(1, 6, 4), 2); // 1.5 rounds up
        EXPECT_EQ(mulDiv(-1, 6, 4), -2); // and away from zero
        EXPECT_EQ(mulDiv(3, 15, 8), 6); // 5.625
    }

    TEST(TemplateSource, MissingTemplateRunsNothingAndTheScopeRestores)
    {
        ASSERT_EQ(currentTemplateSource(), nullptr);
        TemplateDialog without(IDD_MANAGER, nullptr);
        EXPECT_EQ(without.DoModal(), -1);
        EXPECT_FALSE(without.created());
        {
            TemplateScope scope(moduleTemplates());
            EXPECT_EQ(currentTemplateSource(), &moduleTemplates());
            TemplateDialog unknown(999, nullptr);
            EXPECT_EQ(unknown.DoModal(), -1);
        }
        EXPECT_EQ(currentTemplateSource(), nullptr);
    }

    TEST(TemplateSource, ModalRunEndsThroughOkAndEscape)
    {
        TemplateScope scope(moduleTemplates());
        for (int expected : { IDOK, IDCANCEL }) {
            TemplateDialog dialog(IDD_ABOUT, nullptr);
            TemplateDialog::setModalHook([expected](TemplateDialog& d) {
                EXPECT_TRUE(d.isVisible());
                if (expected == IDOK)
                    d.DlgItem<QPushButton>(IDOK)->click();
                else
                    d.reject(); // what Escape and the close box do
            });
            EXPECT_EQ(dialog.DoModal(), expected);
            TemplateDialog::setModalHook(nullptr);
        }
    }

    TEST(Controls, SortedListsInsertIgnoringCaseAndUnsortedAppend)
    {
        ListBox sorted(LBS_SORT, nullptr);
        for (const char* s : { "door.sld", "PLAN.SLD", "[..]", "Bolt.sld", "[sub]" })
            sorted.addString(s);
        std::vector<std::string> got;
        for (int i = 0; i < sorted.count(); ++i) {
            std::string t;
            ASSERT_TRUE(sorted.text(i, t));
            got.push_back(t);
        }
        // Brackets sort before letters, so directories head the list.
        EXPECT_EQ(got, (std::vector<std::string> { "[..]", "[sub]", "Bolt.sld", "door.sld", "PLAN.SLD" }));
        std::string t;
        EXPECT_FALSE(sorted.text(5, t));
        EXPECT_FALSE(sorted.text(-1, t));

        ListBox plain(0, nullptr);
        plain.addString("b");
        EXPECT_EQ(plain.addString("a"), 1);

        ComboBox combo(CBS_SORT, nullptr);
        combo.addString("[-~-]");
        combo.addString("[-/-]");
        EXPECT_EQ(combo.currentSelection(), -1); // filling selects nothing
        EXPECT_EQ(combo.selectString("[-~-]"), 1);
        EXPECT_EQ(combo.addString("[-/mnt/a-]"), 1);
        EXPECT_EQ(combo.currentSelection(), 2); // the selection follows its entry
    }

    TEST(Controls, ManyEntriesEndSortedWhateverTheirOrder)
    {
        ListBox list(LBS_SORT, nullptr);
        std::uint32_t seed = 12345; // fixed: the same names every run
        std::vector<std::string> names;
        for (int i = 0; i < 2000; ++i) {
            std::string n;
            for (int k = 0; k < 6; ++k) {
                seed = seed * 1103515245u + 12345u;
                n += "aBc[9_.Z"[(seed >> 16) % 8];
            }
            names.push_back(n);
            list.addString(n);
        }
        ASSERT_EQ(list.count(), 2000);
        std::string prev, cur;
        for (int i = 0; i < list.count(); ++i) {
            ASSERT_TRUE(list.text(i, cur));
            if (i > 0) {
                ASSERT_LE(platform::compareNoCase(prev, cur), 0) << i;
            }
            prev = cur;
        }
    }

    TEST(Controls, OnlyTheUserChangesNotify)
    {
        ListBox list(LBS_SORT | LBS_NOTIFY, nullptr);
        int changes = 0;
        QObject::connect(&list, &ListBox::selectionChanged, [&] { ++changes; });
        list.addString("a");
        list.addString("b");
        list.setCurrentSelection(1);
        EXPECT_EQ(list.currentSelection(), 1);
        list.resetContent();
        EXPECT_EQ(list.currentSelection(), -1);
        EXPECT_EQ(changes, 0);
        list.addString("c");
        list.setCurrentRow(0); // as a click or an arrow key does
        EXPECT_EQ(changes, 1);
    }

} // namespace
} // namespace qorvan::ui
