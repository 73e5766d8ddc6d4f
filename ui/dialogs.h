// The dialogs as the module and the programs reach them, with no toolkit in
// sight: whether a dialog application runs in this process, and a modal run
// of the View Slide dialog or the manager, parented to a window named by its
// native handle. A build without the dialogs links a stand-in in which no
// dialog application ever runs.
#pragma once

#include <memory>

namespace qorvan::ui {

// The View Slide picture's size when the caller names none, in pixels.
inline constexpr int VIEW_SLIDE_DEFAULT_WIDTH = 420;
inline constexpr int VIEW_SLIDE_DEFAULT_HEIGHT = 300;

// A window as the host names it (its main window handle); null for none.
using NativeWindow = void*;

// True when this process has the dialog application object that the
// dialogs need; the run functions below require it.
bool dialogApplicationRunning();

struct ViewSlideRequest {
    const char* ref = ""; // a slide reference (file, or LIBRARY(NAME))
    const char* title = nullptr; // null: the reference in upper case
    int width = VIEW_SLIDE_DEFAULT_WIDTH;
    int height = VIEW_SLIDE_DEFAULT_HEIGHT;
};

// The dialog application and a main window, for a program that hosts the
// module (the console). Both are made only where there is a display, so
// such a program still works without one, as it does in a build without the
// dialogs. mainWindow() is the native handle a host reports to modules as
// its main window: null when there is none.
class DialogHost {
public:
    // name: the application's and its main window's title.
    DialogHost(int& argc, char** argv, const char* name);
    ~DialogHost();
    DialogHost(const DialogHost&) = delete;
    DialogHost& operator=(const DialogHost&) = delete;
    NativeWindow mainWindow() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Each runs its dialog modally from the module's templates (the current
// template source is restored on return) and returns the dialog's result,
// negative when it could not be shown. A parent handle that names no window
// of this process gives a dialog without a parent rather than a bad one.
int runViewSlide(NativeWindow parent, const ViewSlideRequest& request);

// The qorvan tool's dialogs read a slide file that is there as that file,
// whatever brackets its name holds, as every qorvan command does. Off by
// default: the module keeps the reference rules its users' scripts rely on.
void readExistingFilesAsWritten(bool on);
// library: a library to open at start, or null for none.
int runManager(NativeWindow parent, const char* library = nullptr);

} // namespace qorvan::ui
