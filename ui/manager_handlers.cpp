// The manager dialog's handlers, one per entry of its command table.
#include "ui/manager_dialog.h"

#include "platform/dirlist.h"
#include "platform/path.h"
#include "store/edit.h"
#include "ui/about_dialog.h"
#include "ui/controls.h"
#include "ui/prompts.h"
#include "ui/slide_display.h"
#include "ui/view_slide_dialog.h"

namespace qorvan::ui {

void ManagerDialog::OnAbout()
{
    AboutDialog about(nullptr);
    about.DoModal();
}

void ManagerDialog::OnDriveChanged()
{
    char drive[platform::PATH_BUFFER];
    if (platform::DlgDirSelectComboBoxEx(*driveCombo(), drive, sizeof drive)) ListDirectory(drive);
}

void ManagerDialog::OnFileSelected()
{
    char entry[platform::PATH_BUFFER];
    if (platform::DlgDirSelectEx(*fileList(), entry, sizeof entry)) {
        ListDirectory(entry);
        return;
    }
    std::string path;
    if (!SelectedFilePath(path)) return;
    if (int st = ShowSlide(filePreview(), path); st != 0) reportFailure(st);
}

void ManagerDialog::OnViewFile()
{
    char entry[platform::PATH_BUFFER];
    if (platform::DlgDirSelectEx(*fileList(), entry, sizeof entry)) {
        ListDirectory(entry);
        return;
    }
    std::string path;
    if (SelectedFilePath(path)) viewSlide(path);
}

void ManagerDialog::OnViewLibrarySlide()
{
    int sel = libraryList()->currentSelection();
    std::string name;
    if (sel >= 0 && libraryList()->text(sel, name)) viewSlide(LibrarySlideRef(name));
}

void ManagerDialog::viewSlide(const std::string& ref)
{
    ViewSlideDialog view(nullptr);
    view.SetTitle(ref);
    view.SetSlideRef(ref);
    view.DoModal();
}

void ManagerDialog::OnSelectLibrary()
{
    if (ChooseLibrary()) RefreshLibrary();
}

void ManagerDialog::OnAddSelectedFile()
{
    std::string path;
    if (libraryPath_.empty() || !SelectedFilePath(path)) return;
    if (int st = appendSlide(libraryPath_.c_str(), path.c_str()); st != 0) reportFailure(st);
    RefreshAll();
}

void ManagerDialog::OnExtractSelectedSlide()
{
    int sel = libraryList()->currentSelection();
    std::string name;
    if (libraryPath_.empty() || sel < 0 || !libraryList()->text(sel, name)) return;
    std::string dir = CurrentDirectory();
    if (int st = extractSlide(libraryPath_.c_str(), name.c_str(), dir.c_str()); st != 0) reportFailure(st);
    RefreshAll();
}

void ManagerDialog::OnDeleteSelectedSlide()
{
    int sel = libraryList()->currentSelection();
    std::string name;
    if (libraryPath_.empty() || sel < 0 || !libraryList()->text(sel, name)) return;
    if (int st = deleteSlide(libraryPath_.c_str(), name.c_str()); st != 0) reportFailure(st);
    RefreshAll();
}

void ManagerDialog::OnAddAllFiles()
{
    if (libraryPath_.empty()) return;
    ListBox* list = fileList();
    int count = list->count();
    for (int i = 0; i < count; ++i) {
        std::string text;
        if (!list->text(i, text)) continue;
        text = platform::toUpperAscii(text);
        if (text.find(".SLD") == std::string::npos) continue;
        // The bare entry resolves against the listed directory, which the
        // listing made the current one.
        if (int st = appendSlide(libraryPath_.c_str(), text.c_str()); st != 0) reportFailure(st);
    }
    RefreshAll();
}

void ManagerDialog::OnDeleteAllSlides()
{
    if (libraryPath_.empty()) return;
    ListBox* list = libraryList();
    int count = list->count();
    std::string question = "Delete all slides from " + libraryPath_;
    if (prompts().messageBox(this, question, "Qorvan", Buttons::OkCancel, Icon::None) != IDOK) return;
    for (int i = 0; i < count; ++i) {
        std::string name;
        if (!list->text(i, name)) continue;
        if (int st = deleteSlide(libraryPath_.c_str(), name.c_str()); st != 0) reportFailure(st);
    }
    RefreshAll();
}

void ManagerDialog::OnExtractAllSlides()
{
    if (libraryPath_.empty()) return;
    std::string dir = CurrentDirectory();
    std::string question = "Extract all slides from " + libraryPath_ + " to " + dir;
    if (prompts().messageBox(this, question, "Qorvan", Buttons::OkCancel, Icon::None) != IDOK) return;
    if (int st = explodeLibrary(libraryPath_.c_str(), dir.c_str()); st != 0) reportFailure(st);
    RefreshAll();
}

} // namespace qorvan::ui
