// What every subcommand shares: exit statuses, reporting the store's status,
// the progress bar, and small text helpers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/io.h"
#include "platform/parallel.h"
#include "platform/save_file.h"
#include "slide/analysis.h"
#include "slide/picture_output.h"
#include "slide/slide_source.h"
#include "store/slide_ref.h"
#include "store/whole_file.h"

namespace qorvan::cli {

// What the commands work with, from the libraries that know the formats.
using platform::defaultJobs;
using platform::forEachItem;
using platform::writeWholeFile;
using slide::analyseSlide;
using slide::Background;
using slide::byteOrderText;
using slide::checkSlideBytes;
using slide::Colour7;
using slide::DEFAULT_PICTURE_HEIGHT;
using slide::DEFAULT_PICTURE_WIDTH;
using slide::existsAsWritten;
using slide::findInput;
using slide::Fit;
using slide::Input;
using slide::InputKind;
using slide::isLibraryFile;
using slide::LibraryScan;
using slide::LoadedSlide;
using slide::loadSlideRef;
using slide::makePicture;
using slide::Picture;
using slide::PictureChoices;
using slide::PictureFormat;
using slide::pictureLook;
using slide::rendererBytes;
using slide::SavedPicture;
using slide::savePicture;
using slide::scanLibrary;
using slide::ScannedEntry;
using slide::sliceSlide;
using slide::SLIDE_CHECK_BYTES;
using slide::SlideAnalysis;
using slide::slideSize;
using slide::startsLikeSlide;
using slide::Style;
using slide::writePictureFile;

inline constexpr int EXIT_OK = 0;
inline constexpr int EXIT_FAILED = 1;
inline constexpr int EXIT_USAGE = 2;

// Removes the temporary and lock files of the work in progress when the
// program is interrupted (SIGINT, SIGTERM, SIGHUP), and prints the writers'
// warnings ("qorvan: warning: ...") on standard error.
void guardFiles();

// Clears the module status, as each AutoLISP function does before it works.
void resetStatus();

// Prints the store's last failure on standard error as failureText puts
// it, after "qorvan COMMAND: "; EXIT_FAILED. subject is what the user typed
// for the thing that failed (empty when there is none); file, when given,
// is the file it stands for (a library's LIB.slb).
int failWithStatus(const std::string& subject = {}, const std::string& file = {});

// The tool's words for a failure: the subject as typed; for code 1 the
// file the system was asked for where it is not the subject as typed (with
// "/", in the letter case found on disk) and the system's reason, else the
// status message, whose own words the module and AutoLISP show.
std::string failureText(int code, const std::string& message, const platform::IoFailure& cause,
    const std::string& subject, const std::string& file = {});
// What is wrong with the library file the store refused, in words (where it
// was cut short, which entry points where) and what to run about it; empty
// when the store would read it.
std::string libraryDamageText(const std::string& file, const std::string& subject);
// "cannot open FILE: REASON" for a failure the platform noted, or "cannot
// open it: REASON" when FILE is what subject names.
std::string ioFailureText(const platform::IoFailure& failure, const std::string& subject);
// The words for the failure the platform noted last about subject (taking
// it), or fallback when nothing was noted.
std::string lastIoFailureText(const std::string& subject, const std::string& fallback);
// The same for a file the tool failed to write: "PATH: cannot write it: reason".
std::string writeFailure(const std::string& path);
// Why findInput found nothing for argument: "ARGUMENT: reason".
std::string missingText(const std::string& argument);

// Text as it may go to stream: on a terminal, control characters (C0, DEL
// and the C1 range) and bytes that are not UTF-8 become \xHH, so that a
// name read from a file cannot move the cursor, retitle or recolour the
// user's terminal; anywhere else (a pipe, a file) text goes as it is, since
// a program reading names wants their bytes. Every name and message the
// tool prints passes through here.
std::string shown(const std::string& text, std::FILE* stream);
// The same for a report of several lines: its line ends stay.
std::string shownLines(const std::string& text, std::FILE* stream);
// The same, as a terminal would need it, whatever stream is.
std::string escapedForTerminal(const std::string& text);

// Prints "qorvan: " and text on standard error; returns status. A usage
// error (EXIT_USAGE) says "qorvan COMMAND: " once the command is known.
int fail(const std::string& text, int status = EXIT_FAILED);
// The subcommand the user named, for the usage errors above.
void setCommandName(const std::string& name);
// Prints "qorvan COMMAND: " and text on standard error; returns status.
int failIn(const std::string& command, const std::string& text, int status = EXIT_FAILED);

// A progress bar on standard error for work over many items, drawn only when
// standard error is a terminal and there is more than one item.
class Progress {
public:
    explicit Progress(std::size_t total);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    // Item `done` (counted from 1) is finished; label names it.
    void step(std::size_t done, const std::string& label);
    // Erases the bar, so that what follows starts on a clean line.
    void finish() { clear(); }

private:
    void clear();
    std::size_t total_;
    bool shown_;
    bool drawn_ = false;
};

// "WxH" with both sides 1..99999; false for anything else.
bool parseSize(const std::string& text, int& width, int& height);

// A JSON string literal; bytes beyond ASCII are taken as Latin-1, since
// slide names carry no encoding.
std::string jsonString(const std::string& bytes);

// A name of at most 32 bytes, cut at its first NUL.
std::string nameText(const char* bytes, std::size_t capacity);

// Joins a directory and a file name with "/" (an empty directory is ".").
std::string joinPath(const std::string& directory, const std::string& name);

// Creates the directory (and its parents) when missing; false on failure.
bool makeDirectory(const std::string& path);

// For a command that wants a library: when the path the user typed is a
// slide file, prints "qorvan COMMAND: PATH is a slide, not a slide library"
// with what to type instead and returns EXIT_FAILED; otherwise 0.
int refuseSlideAsLibrary(const char* command, const std::string& path);
// For a command that wants a slide: the same for a library, naming the
// LIB(NAME) form.
int refuseLibraryAsSlide(const char* command, const LoadedSlide& s);

// A slide name made safe as a file name: separators, control characters
// and the characters other systems forbid become "_"; a name of dots only
// becomes underscores.
std::string safeFileName(const std::string& name);
// File names for a whole set of outputs in one folder, chosen at once: each
// is its name made safe, and one whose safe name an earlier one has (in any
// letter case) gets NAME~N, the smallest N that is neither another output's
// name nor any name of the set made safe. So no two outputs share a file,
// and no slide stored as A_B~1 is overwritten by a second A/B.
std::vector<std::string> distinctFileNames(const std::vector<std::string>& names);

} // namespace qorvan::cli
