// Dialog templates as data: each control with its id, class, text, style
// and rectangle in dialog units, as a resource compiler would have stored
// them. No toolkit here; template_dialog.h turns a template into widgets.
//
// The template source is the "resource handle": dialogs find their template
// in whichever source is current, and the module's ResourceSwitch makes the
// module's own templates current around each dialog it runs.
#pragma once

#include <cstdint>
#include <span>

namespace qorvan::ui {

// Window and control style bits (the framework's values).
inline constexpr std::uint32_t WS_POPUP = 0x80000000;
inline constexpr std::uint32_t WS_CHILD = 0x40000000;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000;
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000;
inline constexpr std::uint32_t WS_BORDER = 0x00800000;
inline constexpr std::uint32_t WS_VSCROLL = 0x00200000;
inline constexpr std::uint32_t WS_SYSMENU = 0x00080000;
inline constexpr std::uint32_t WS_GROUP = 0x00020000;
inline constexpr std::uint32_t WS_TABSTOP = 0x00010000;
inline constexpr std::uint32_t DS_MODALFRAME = 0x0080;
inline constexpr std::uint32_t DS_SETFONT = 0x0040;

inline constexpr std::uint32_t BS_PUSHBUTTON = 0x0000;
inline constexpr std::uint32_t BS_DEFPUSHBUTTON = 0x0001;

inline constexpr std::uint32_t SS_LEFT = 0x0000;
inline constexpr std::uint32_t SS_CENTER = 0x0001;
inline constexpr std::uint32_t SS_RIGHT = 0x0002;
inline constexpr std::uint32_t SS_BLACKRECT = 0x0004;
inline constexpr std::uint32_t SS_BITMAP = 0x000E;
inline constexpr std::uint32_t SS_TYPEMASK = 0x001F;
inline constexpr std::uint32_t SS_CENTERIMAGE = 0x0200;

inline constexpr std::uint32_t LBS_NOTIFY = 0x0001;
inline constexpr std::uint32_t LBS_SORT = 0x0002;
inline constexpr std::uint32_t LBS_NOINTEGRALHEIGHT = 0x0100;

inline constexpr std::uint32_t CBS_DROPDOWNLIST = 0x0003;
inline constexpr std::uint32_t CBS_SORT = 0x0100;

inline constexpr std::uint32_t WS_EX_CLIENTEDGE = 0x0200;

// Ids of the dialog results and of the controls without an id.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDC_STATIC = -1;

// The dialog resources.
inline constexpr int IDD_ABOUT = 139;
inline constexpr int IDB_ABOUT_PICTURE = 140;
inline constexpr int IDD_VIEW_SLIDE = 141;
inline constexpr int IDD_MANAGER = 142;

// The controls of the three dialogs. Ids repeat across dialogs (1060 and
// 1061 are links in the About dialog and buttons in the manager), as each
// dialog numbers its own controls.
inline constexpr int IDC_VIEW_PICTURE = 1049;
inline constexpr int IDC_DIRECTORY_TEXT = 1050;
inline constexpr int IDC_FILE_LIST = 1051;
inline constexpr int IDC_DRIVE_COMBO = 1052;
inline constexpr int IDC_LIBRARY_TEXT = 1053;
inline constexpr int IDC_LIBRARY_LIST = 1054;
inline constexpr int IDC_ADD = 1055;
inline constexpr int IDC_ADD_ALL = 1056;
inline constexpr int IDC_DELETE = 1057;
inline constexpr int IDC_DELETE_ALL = 1058;
inline constexpr int IDC_EXTRACT = 1059;
inline constexpr int IDC_EXTRACT_ALL = 1060;
inline constexpr int IDC_SELECT_LIBRARY = 1061;
inline constexpr int IDC_FILE_PREVIEW = 1062;
inline constexpr int IDC_LIBRARY_PREVIEW = 1063;
inline constexpr int IDC_WEB_LINK = 1060;
inline constexpr int IDC_MAIL_LINK = 1061;

enum class ControlClass { Button, Static, ListBox, ComboBox };

// A rectangle in dialog units: origin and size.
struct DuRect {
    int x, y, cx, cy;
};

struct ControlTemplate {
    int id;
    ControlClass cls;
    const char* text;
    std::uint32_t style; // including WS_CHILD | WS_VISIBLE
    std::uint32_t exStyle;
    DuRect rect;
    int imageId = 0; // the bitmap of an SS_BITMAP static
};

struct DialogTemplate {
    int id;
    std::uint32_t style;
    const char* caption;
    const char* fontName;
    int pointSize;
    int cx, cy;
    std::span<const ControlTemplate> controls;
};

// Where templates are looked up.
class TemplateSource {
public:
    virtual ~TemplateSource() = default;
    virtual const DialogTemplate* findTemplate(int id) const = 0;
};

// The module's templates: 139, 141 and 142.
const TemplateSource& moduleTemplates();

// The current source; null until a program or the module sets one, and then
// no dialog can be created (as when a template is missing from the resource
// handle in effect).
const TemplateSource* currentTemplateSource();
// Makes source current and returns the one it replaces.
const TemplateSource* setCurrentTemplateSource(const TemplateSource* source);

// Makes source current for the scope, restoring the previous one on every
// path out. Programs other than the module use it where the module would
// use its ResourceSwitch.
class TemplateScope {
public:
    explicit TemplateScope(const TemplateSource& source)
        : saved_(setCurrentTemplateSource(&source))
    {
    }
    ~TemplateScope() { setCurrentTemplateSource(saved_); }
    TemplateScope(const TemplateScope&) = delete;
    TemplateScope& operator=(const TemplateScope&) = delete;

private:
    const TemplateSource* saved_;
};

} // namespace qorvan::ui
