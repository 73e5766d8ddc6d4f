// The manager dialog: construction, initialisation and the routines its
// handlers share.
#include "ui/manager_dialog.h"

#include "platform/dirlist.h"
#include "platform/path.h"
#include "store/library.h"
#include "store/slide_ref.h"
#include "store/status.h"
#include "ui/controls.h"
#include "ui/picture_control.h"
#include "ui/prompts.h"
#include "ui/slide_display.h"

#include <QPushButton>

#include <cstring>

namespace qorvan::ui {

using platform::toLowerAscii;
using platform::toUpperAscii;

ManagerDialog::ManagerDialog(QWidget* parent)
    : TemplateDialog(IDD_MANAGER, parent)
{
    setStatus(Ok, nullptr, nullptr);
}

ListBox* ManagerDialog::fileList() const
{
    return DlgItem<ListBox>(IDC_FILE_LIST);
}
ListBox* ManagerDialog::libraryList() const
{
    return DlgItem<ListBox>(IDC_LIBRARY_LIST);
}
ComboBox* ManagerDialog::driveCombo() const
{
    return DlgItem<ComboBox>(IDC_DRIVE_COMBO);
}
StaticText* ManagerDialog::directoryText() const
{
    return DlgItem<StaticText>(IDC_DIRECTORY_TEXT);
}
StaticText* ManagerDialog::libraryText() const
{
    return DlgItem<StaticText>(IDC_LIBRARY_TEXT);
}
PictureControl* ManagerDialog::filePreview() const
{
    return DlgItem<PictureControl>(IDC_FILE_PREVIEW);
}
PictureControl* ManagerDialog::libraryPreview() const
{
    return DlgItem<PictureControl>(IDC_LIBRARY_PREVIEW);
}

bool ManagerDialog::OnInitDialog()
{
    auto button = [this](int id, void (ManagerDialog::*handler)()) {
        if (auto* b = DlgItem<QPushButton>(id)) connect(b, &QPushButton::clicked, this, handler);
    };
    button(3, &ManagerDialog::OnAbout);
    button(IDC_ADD, &ManagerDialog::OnAddSelectedFile);
    button(IDC_EXTRACT, &ManagerDialog::OnExtractSelectedSlide);
    button(IDC_SELECT_LIBRARY, &ManagerDialog::OnSelectLibrary);
    button(IDC_DELETE, &ManagerDialog::OnDeleteSelectedSlide);
    button(IDC_ADD_ALL, &ManagerDialog::OnAddAllFiles);
    button(IDC_DELETE_ALL, &ManagerDialog::OnDeleteAllSlides);
    button(IDC_EXTRACT_ALL, &ManagerDialog::OnExtractAllSlides);
    connect(driveCombo(), &ComboBox::selectionChanged, this, &ManagerDialog::OnDriveChanged);
    connect(libraryList(), &ListBox::selectionChanged, this, &ManagerDialog::PreviewLibrarySlide);
    connect(fileList(), &ListBox::selectionChanged, this, &ManagerDialog::OnFileSelected);
    connect(libraryList(), &ListBox::doubleClicked, this, &ManagerDialog::OnViewLibrarySlide);
    connect(fileList(), &ListBox::doubleClicked, this, &ManagerDialog::OnViewFile);

    FillDriveCombo();
    ListDirectory(libraryDir_);
    RefreshLibrary(); // a library set before the dialog ran
    // The combo shows the drive that holds the directory being browsed.
    driveCombo()->selectString(platform::dirlist::driveFor(directoryText()->text()));
    return true;
}

void ManagerDialog::ListDirectory(const std::string& dir)
{
    std::string spec = dir + "*.SLD";
    platform::DlgDirList(fileList(), spec.c_str(), directoryText(), platform::DDL_DIRECTORY);
}

void ManagerDialog::FillDriveCombo()
{
    platform::DlgDirListComboBox(
        driveCombo(), nullptr, nullptr, platform::DDL_DRIVES | platform::DDL_EXCLUSIVE);
}

std::string ManagerDialog::CurrentDirectory() const
{
    std::string dir = directoryText()->text();
    if (dir.empty() || !platform::isSeparator(dir.back())) dir += '/';
    return toLowerAscii(dir);
}

bool ManagerDialog::SelectedFilePath(std::string& path) const
{
    char entry[platform::PATH_BUFFER];
    if (platform::DlgDirSelectEx(*fileList(), entry, sizeof entry)) return false;
    int sel = fileList()->currentSelection();
    std::string text;
    if (sel < 0 || !fileList()->text(sel, text)) return false;
    path = toUpperAscii(CurrentDirectory()) + toUpperAscii(text);
    return true;
}

std::string ManagerDialog::LibraryBase() const
{
    return libraryStem(libraryPath_);
}

std::string ManagerDialog::LibrarySlideRef(const std::string& name) const
{
    return formatSlideRef(toUpperAscii(LibraryBase()), toUpperAscii(name));
}

void ManagerDialog::FillNameList(const std::vector<SlideName>* names)
{
    ListBox* list = libraryList();
    list->resetContent();
    if (!names) return;
    for (const SlideName& n : *names)
        list->addString(std::string(n.bytes, strnlen(n.bytes, SLIDE_NAME_SIZE)));
}

void ManagerDialog::PreviewLibrarySlide()
{
    int sel = libraryList()->currentSelection();
    std::string name;
    if (sel < 0 || !libraryList()->text(sel, name)) return;
    if (int st = ShowSlide(libraryPreview(), LibrarySlideRef(name)); st != 0) reportFailure(st);
}

void ManagerDialog::RefreshLibrary()
{
    if (libraryPath_.empty()) return;
    libraryText()->setText(toLowerAscii(libraryPath_));
    int sel = libraryList()->currentSelection();
    if (sel < 0) sel = 0;
    // An unreadable or empty library lists nothing, without a message.
    std::vector<SlideName> names = listSlides(libraryPath_.c_str());
    FillNameList(names.empty() ? nullptr : &names);
    int count = static_cast<int>(names.size());
    if (sel >= count) sel = count - 1;
    if (sel >= 0) {
        libraryList()->setCurrentSelection(sel);
        PreviewLibrarySlide();
    }
}

void ManagerDialog::RefreshAll()
{
    ListDirectory(CurrentDirectory());
    RefreshLibrary();
}

bool ManagerDialog::ChooseLibrary()
{
    OpenFileRequest request;
    request.initialDir = libraryDir_;
    request.title = "Select Slide Library";
    request.filterName = "AutoCAD Slide Library Files (*.slb)";
    request.filterPattern = "*.slb";
    request.defaultExt = ".slb";
    request.hideReadOnly = true;
    request.overwritePrompt = true;
    request.createPrompt = true;
    std::optional<std::string> chosen = prompts().openFile(request);
    if (!chosen) return false;
    SetLibrary(*chosen);
    return true;
}

void ManagerDialog::SetLibrary(const std::string& chosen)
{
    platform::PathParts parts = platform::splitPath(chosen);
    libraryDir_ = parts.drive + parts.dir;
    libraryPath_ = chosen;
    if (chosen.find('.') == std::string::npos) libraryPath_ = libraryDir_ + parts.base + parts.ext + ".SLB";
    CopyFileInChunks(LibraryBase() + ".bak", libraryPath_);
}

void ManagerDialog::reportFailure(int status)
{
    (void)status; // the message belongs to the status the step recorded
    prompts().messageBox(this, statusMessage(), "", Buttons::Ok, Icon::None);
}

} // namespace qorvan::ui
