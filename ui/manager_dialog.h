// The manager dialog (template 142): a browser of slide files on the left,
// the slides of one library on the right, buttons that move slides between
// them, previews of the selection on either side.
#pragma once

#include "ui/template_dialog.h"

#include <string>
#include <vector>

namespace qorvan {
struct SlideName;
}

namespace qorvan::ui {

class ComboBox;
class ListBox;
class PictureControl;
class StaticText;

class ManagerDialog : public TemplateDialog {
    Q_OBJECT
public:
    explicit ManagerDialog(QWidget* parent = nullptr);

    const std::string& libraryDir() const { return libraryDir_; }
    const std::string& libraryPath() const { return libraryPath_; }

    // The routines the handlers share.
    void ListDirectory(const std::string& dir);
    void FillDriveCombo();
    std::string CurrentDirectory() const;
    // The selected slide file's path, or false when the selection is none, a
    // directory or a drive.
    bool SelectedFilePath(std::string& path) const;
    std::string LibraryBase() const;
    std::string LibrarySlideRef(const std::string& name) const;
    void FillNameList(const std::vector<SlideName>* names);
    void PreviewLibrarySlide();
    void RefreshLibrary();
    void RefreshAll();
    bool ChooseLibrary();
    // Works on the library at path from now on, as when it is chosen in the
    // dialog (its backup included); before the dialog runs, it opens on it.
    void SetLibrary(const std::string& path);

    // The handlers of the command table.
    void OnAbout();
    void OnDriveChanged();
    void OnAddSelectedFile();
    void OnExtractSelectedSlide();
    void OnFileSelected();
    void OnViewLibrarySlide();
    void OnViewFile();
    void OnSelectLibrary();
    void OnDeleteSelectedSlide();
    void OnAddAllFiles();
    void OnDeleteAllSlides();
    void OnExtractAllSlides();

    ListBox* fileList() const;
    ListBox* libraryList() const;
    ComboBox* driveCombo() const;
    StaticText* directoryText() const;
    StaticText* libraryText() const;
    PictureControl* filePreview() const;
    PictureControl* libraryPreview() const;

protected:
    bool OnInitDialog() override;

private:
    void reportFailure(int status);
    void viewSlide(const std::string& ref);

    std::string libraryDir_;
    std::string libraryPath_;
};

// Copies source to destination in COPY_CHUNK pieces, replacing destination
// only when the copy is complete; succeeds without copying when source
// cannot be opened or destination is source itself, shows
// "File can't open : %s" and fails when destination cannot be created. A
// short read or write ends the copy without a message and keeps the old
// destination.
bool CopyFileInChunks(const std::string& destination, const std::string& source);

} // namespace qorvan::ui
