// The module's dialog templates 139 (About), 141 (View Slide) and 142 (the
// manager), and the current template source.
#include "ui/template.h"

#include "ui/about_texts.h"

#include "qorvan_version.h"

#include <iterator>

namespace qorvan::ui {

namespace {

    constexpr std::uint32_t CHILD = WS_CHILD | WS_VISIBLE;
    constexpr std::uint32_t DIALOG_STYLE = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    constexpr std::uint32_t LIST_STYLE
        = CHILD | WS_TABSTOP | WS_VSCROLL | WS_BORDER | LBS_NOTIFY | LBS_SORT | LBS_NOINTEGRALHEIGHT;

    constexpr ControlTemplate ABOUT_CONTROLS[] = {
        { IDC_STATIC, ControlClass::Static, "", CHILD | SS_BITMAP, 0, { 42, 10, 65, 20 }, IDB_ABOUT_PICTURE },
        { IDC_STATIC, ControlClass::Static, "Qorvan", CHILD | SS_CENTER | WS_GROUP, 0, { 5, 35, 140, 8 } },
        { IDC_STATIC, ControlClass::Static, "Version " QORVAN_VERSION_SHORT, CHILD | SS_CENTER | WS_GROUP, 0,
            { 5, 48, 140, 8 } },
        { IDC_STATIC, ControlClass::Static, ABOUT_RIGHTS_NOTICE, CHILD | SS_CENTER | WS_GROUP, 0,
            { 5, 61, 140, 8 } },
        { IDC_WEB_LINK, ControlClass::Static, ABOUT_WEB_TEXT, CHILD | SS_CENTER | WS_GROUP, 0,
            { 5, 74, 140, 8 } },
        { IDC_MAIL_LINK, ControlClass::Static, ABOUT_MAIL_TEXT, CHILD | SS_CENTER | WS_GROUP, 0,
            { 5, 87, 140, 8 } },
        { IDOK, ControlClass::Button, "OK", CHILD | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, { 55, 100, 40, 15 } },
    };

    constexpr ControlTemplate VIEW_SLIDE_CONTROLS[] = {
        { IDC_VIEW_PICTURE, ControlClass::Static, "", CHILD | SS_BLACKRECT, 0, { 5, 5, 210, 150 } },
        { IDOK, ControlClass::Button, "&OK", CHILD | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, { 85, 160, 50, 15 } },
    };

    // In tab order, as the manager's template lists them.
    constexpr ControlTemplate MANAGER_CONTROLS[] = {
        { IDOK, ControlClass::Button, "&OK", CHILD | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, { 65, 200, 50, 14 } },
        { 3, ControlClass::Button, "&About", CHILD | BS_PUSHBUTTON | WS_TABSTOP, 0, { 130, 200, 50, 14 } },
        { IDC_DIRECTORY_TEXT, ControlClass::Static, "Slide Directory:", CHILD | SS_LEFT | WS_GROUP, 0,
            { 5, 86, 100, 10 } },
        { IDC_FILE_LIST, ControlClass::ListBox, "", LIST_STYLE, 0, { 5, 98, 100, 80 } },
        { IDC_DRIVE_COMBO, ControlClass::ComboBox, "",
            CHILD | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_SORT, 0, { 5, 180, 100, 59 } },
        { IDC_ADD_ALL, ControlClass::Button, ">>", CHILD | BS_PUSHBUTTON | WS_TABSTOP, 0,
            { 110, 99, 25, 15 } },
        { IDC_ADD, ControlClass::Button, ">", CHILD | BS_PUSHBUTTON | WS_TABSTOP, 0, { 110, 120, 25, 15 } },
        { IDC_EXTRACT, ControlClass::Button, "<", CHILD | BS_PUSHBUTTON | WS_TABSTOP, 0,
            { 110, 141, 25, 15 } },
        { IDC_EXTRACT_ALL, ControlClass::Button, "<<", CHILD | BS_PUSHBUTTON | WS_TABSTOP, 0,
            { 110, 162, 25, 15 } },
        { IDC_LIBRARY_TEXT, ControlClass::Static, "Slide Library:", CHILD | SS_LEFT | WS_GROUP, 0,
            { 140, 86, 100, 10 } },
        { IDC_LIBRARY_LIST, ControlClass::ListBox, "", LIST_STYLE, 0, { 140, 98, 100, 80 } },
        { IDC_DELETE, ControlClass::Button, "&Delete", CHILD | BS_PUSHBUTTON | WS_TABSTOP, 0,
            { 170, 180, 35, 12 } },
        { IDC_DELETE_ALL, ControlClass::Button, "D&elete All", CHILD | BS_PUSHBUTTON | WS_TABSTOP, 0,
            { 205, 180, 35, 12 } },
        { IDC_FILE_PREVIEW, ControlClass::Static, "", CHILD | SS_BLACKRECT, WS_EX_CLIENTEDGE,
            { 5, 5, 115, 75 } },
        { IDC_LIBRARY_PREVIEW, ControlClass::Static, "", CHILD | SS_BLACKRECT, WS_EX_CLIENTEDGE,
            { 125, 5, 115, 75 } },
        { IDC_SELECT_LIBRARY, ControlClass::Button, "&Select", CHILD | BS_PUSHBUTTON | WS_TABSTOP, 0,
            { 140, 180, 30, 12 } },
    };

    constexpr DialogTemplate TEMPLATES[] = {
        { IDD_ABOUT, DIALOG_STYLE, "About Qorvan", "MS Sans Serif", 10, 150, 121, ABOUT_CONTROLS },
        { IDD_VIEW_SLIDE, DIALOG_STYLE, "", "System", 10, 220, 180, VIEW_SLIDE_CONTROLS },
        { IDD_MANAGER, DIALOG_STYLE, "Qorvan : Version " QORVAN_VERSION_SHORT, "System", 10, 245, 220,
            MANAGER_CONTROLS },
    };

    class ModuleTemplates final : public TemplateSource {
    public:
        const DialogTemplate* findTemplate(int id) const override
        {
            for (const DialogTemplate& t : TEMPLATES)
                if (t.id == id) return &t;
            return nullptr;
        }
    };

    const TemplateSource* current = nullptr;

} // namespace

const TemplateSource& moduleTemplates()
{
    static const ModuleTemplates templates;
    return templates;
}

const TemplateSource* currentTemplateSource()
{
    return current;
}

const TemplateSource* setCurrentTemplateSource(const TemplateSource* source)
{
    const TemplateSource* previous = current;
    current = source;
    return previous;
}

} // namespace qorvan::ui
