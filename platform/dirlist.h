// Directory and drive listing into list controls, with the semantics the
// dialog code was written against, on POSIX. The controls are abstract here
// so that this stays free of any toolkit: the dialogs' list boxes, combo
// boxes and static texts implement ListControl and TextControl.
//
// Entries a listing produces:
//   PLAN.SLD       a file whose name matches the pattern (letter case ignored)
//   [sub]          a subdirectory ("[..]" for the parent, except at "/")
//   [-x-]          a "drive"; on POSIX these are the roots a user picks from:
//                  [-/-] the root, [-~-] the home directory, [-/mnt/usb-] a
//                  mounted volume (under /media, /mnt or /run/media), and
//                  [-c-] for each drive letter mapped with QORVAN_DRIVE_C.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qorvan::platform {

// File-type bits of the listing calls (the framework's values).
inline constexpr unsigned DDL_READWRITE = 0x0000;
inline constexpr unsigned DDL_READONLY = 0x0001;
inline constexpr unsigned DDL_HIDDEN = 0x0002;
inline constexpr unsigned DDL_SYSTEM = 0x0004;
inline constexpr unsigned DDL_DIRECTORY = 0x0010;
inline constexpr unsigned DDL_ARCHIVE = 0x0020;
inline constexpr unsigned DDL_DRIVES = 0x4000;
inline constexpr unsigned DDL_EXCLUSIVE = 0x8000;

// A list box or the list of a combo box, as the listing calls use it.
class ListControl {
public:
    virtual ~ListControl() = default;
    virtual void resetContent() = 0;
    // Adds an entry (in sorted position when the control sorts); its index.
    virtual int addString(std::string_view text) = 0;
    virtual int count() const = 0;
    // The selected index, or -1.
    virtual int currentSelection() const = 0;
    // The text of entry index; false when there is no such entry.
    virtual bool text(int index, std::string& out) const = 0;
};

// A static text that receives the listed directory.
class TextControl {
public:
    virtual ~TextControl() = default;
    virtual void setText(std::string_view text) = 0;
};

// Fills list with what pathSpec names: a directory part (made the process's
// current directory when present) and a file pattern ("*.*" when absent, or
// when the whole spec names a directory). Null or empty pathSpec lists the
// current directory. pathControl, when given, receives the current directory
// afterwards. Returns false, changing nothing, when the directory part does
// not name a directory that can be entered.
bool DlgDirList(ListControl* list, const char* pathSpec, TextControl* pathControl, unsigned fileType);

// The same for a combo box; with DDL_DRIVES | DDL_EXCLUSIVE it holds the
// drives only.
bool DlgDirListComboBox(
    ListControl* combo, const char* pathSpec, TextControl* pathControl, unsigned fileType);

// Reads the selected entry of a control filled by the calls above into out
// (at most count - 1 characters), in the form a path is built from:
// "[sub]" gives "sub/", "[-c-]" gives "c:", "[-/mnt/usb-]" gives
// "/mnt/usb/", "[-~-]" gives the home directory with '/'; a file name
// without '.' gets one appended. Returns true for a directory or drive.
// Without a selection out is left unchanged and the result is false.
bool DlgDirSelectEx(const ListControl& list, char* out, int count);
bool DlgDirSelectComboBoxEx(const ListControl& combo, char* out, int count);

// Pure parts of the above, exposed for the dialogs and for tests.
namespace dirlist {

    // Case-insensitive wildcard match with '*' and '?'; "*.*" matches any name.
    bool matchPattern(std::string_view pattern, std::string_view name);

    // The entries for directory nativeDir under fileType, unsorted: files
    // matching pattern, then directories, then drives.
    std::vector<std::string> entriesOf(
        const std::string& nativeDir, std::string_view pattern, unsigned fileType);

    // The drive entries ("[-/-]", ...) a user can pick from now.
    std::vector<std::string> drives();

    // The path an entry stands for, and whether it is a directory or drive (see
    // DlgDirSelectEx).
    bool selectionPath(std::string_view entry, std::string& out);

    // The drive entry whose root holds nativeDir most closely (the longest
    // matching root); "[-/-]" for any absolute path outside the others.
    std::string driveFor(std::string_view nativeDir);

} // namespace dirlist

} // namespace qorvan::platform
