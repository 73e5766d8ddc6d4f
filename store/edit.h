// The editing operations on slide libraries. Each returns a StatusCode: Ok on
// success, otherwise the code it or an inner step recorded with setStatus.
// None resets the status first; callers do. A library is never edited in
// place: it is rewritten into a temporary file that replaces it atomically.
#pragma once

#include "platform/io.h"
#include "store/library.h"
#include "store/status.h"

#include <functional>
#include <string>
#include <vector>

namespace qorvan {

// The piece extraction copies a slide in: 61439 bytes (0xEFFF). Any size
// would copy correctly; this one is part of the behaviour others count on
// (a slide of 61440 bytes goes out in two pieces, and the manager's backup
// copies in the same pieces), and it keeps one piece well inside 64 KiB.
inline constexpr std::size_t COPY_CHUNK = 61439;

// What every function here shares:
// - Arguments are NUL-terminated narrow texts; a null pointer is taken as an
//   empty text. A library is named with or without ".slb".
// - A path longer than 255 characters, a library that cannot be locked
//   against other writers, or one that cannot be read is CannotOpen naming
//   it; a file there that is not a library is InvalidLibrary; a library
//   without slides is EmptyLibrary; running out of memory is NoMemory.
// - A rewrite that fails (the temporary file, the final rename) is
//   CannotOpen naming the file that failed, with the library as it was.
// - Nothing is handed back to free: results are files on disk, the returned
//   code and the status message (setStatus), which holds the failure's text.

// Creates an empty library.
// Returns Ok, or CannotOpen naming the library when a file other than an
// empty library is already there or it cannot be written.
StatusCode createLibrary(const char* library);

// Appends slideFile under its upper-cased base name (cut to 31 characters),
// creating the library when it is absent or empty (never leaving an empty
// one behind on a failure).
// Returns Ok; SlideExists when a slide of that name (any case) is there;
// InvalidSlide naming the file when its name cannot be a slide name (empty,
// ".", "..", a control character, '/', '\' or ':'); CannotOpen naming the
// slide file when it cannot be read; NoMemory when the library would
// outgrow its limits; or the shared codes above.
StatusCode appendSlide(const char* library, const char* slideFile);

// Deletes the slide name (any case).
// Returns Ok; SlideNotFound when it is absent (the library is not
// rewritten); or the shared codes above.
StatusCode deleteSlide(const char* library, const char* name);

// Writes slide name (any case) into directory as NAME.SLD, replacing a file
// there only once the copy is complete.
// Returns Ok; SlideNotFound when it is absent; InvalidLibrary when the
// stored name could not be a file name or its bytes lie outside the file;
// CannotOpen naming the output when it cannot be written; or the shared
// codes above. The library is never changed.
StatusCode extractSlide(const char* library, const char* name, const char* directory);

// Writes every slide into directory, in directory order, stopping at the
// first failure (the slides written before it stay).
// Returns Ok, or the first failure as extractSlide would return it.
StatusCode explodeLibrary(const char* library, const char* directory);
// The same, calling onSlide(done, total, name) after each slide written, all
// under the one writers' lock (a caller that read the directory itself and
// extracted entry by entry would copy stale positions if the library were
// rewritten in between). onSlide may be empty; it must not throw.
StatusCode explodeLibrary(const char* library, const char* directory,
    const std::function<void(std::size_t, std::size_t, const std::string&)>& onSlide);
// The same, writing only the slides for which write(name) is true (it is
// asked, under the lock, just before each slide would be written; empty:
// every slide).
StatusCode explodeLibrary(const char* library, const char* directory,
    const std::function<void(std::size_t, std::size_t, const std::string&)>& onSlide,
    const std::function<bool(const std::string&)>& write);

// The file extraction writes for the slide stored as name in directory, in
// native form: a file there whose name matches without regard to case, else
// the new file's path. Nothing is written; empty when the name could not be
// a file name.
std::string extractedFileFor(const char* directory, const char* storedName);

// Extracts the slide (flushed to disk), then deletes it.
// Returns Ok, or extractSlide's failure with the library left as it was, or
// deleteSlide's failure with the extracted file left in directory.
StatusCode removeSlide(const char* library, const char* name, const char* directory);

// Puts slideFile in place of the slide of the same name, last in the
// directory, in one rewrite; appends it when there is none (SlideNotFound
// is then recorded in the status but the append's result returned).
// Returns what appendSlide returns; a slide file that cannot be read is
// CannotOpen before the library is touched.
StatusCode replaceSlide(const char* library, const char* slideFile);

// Renames the slide oldName (matched without regard to case) to newName,
// upper-cased and cut to 31 characters, keeping its place in the directory.
// Returns Ok; InvalidSlide when the new name cannot be a slide name;
// SlideNotFound when oldName is absent; SlideExists when another slide has
// newName; or the shared codes above.
StatusCode renameSlide(const char* library, const char* oldName, const char* newName);

// The file appendSlide reads for a slide file path (".SLD" added unless its
// name holds a '.'), and the name it stores it under (the upper-cased base
// name, cut to 31 characters). Pure functions of the text: no file is
// touched and the status is left alone.
std::string slideFileFor(const char* slideFile);
std::string slideNameFor(const char* slideFile);
// The library file the editing operations write for a library path
// (".slb" added unless the text holds ".slb" in any letter case).
std::string libraryFileFor(const char* library);
// The library file itself, in native form ("/", the letter case found on
// disk), for messages that name the file a user's text stands for.
std::string libraryNativeFor(const char* library);

// Batches: several slides of one library edited in one rewrite, under one
// lock, so adding 600 slide files costs one copy of the library instead of
// 600. Without keepGoing a batch is all or nothing: an item that cannot be
// done leaves the library unchanged, and every such item is reported (each
// name not found, each file that cannot go in), not only the first. With
// keepGoing the items that can be done are, and the others are reported.
struct BatchProblem {
    std::string item; // as the caller gave it
    StatusCode code = Ok;
    std::string message; // the status message for it
    platform::IoFailure cause; // for CannotOpen: the system's side (status.h)
};
struct BatchResult {
    // Ok when every item was done; otherwise the code of the failure the
    // status holds: the rewrite's, or that of the last item left out.
    StatusCode code = Ok;
    bool changed = false; // the library was rewritten
    std::vector<BatchProblem> problems; // every item left out, in order
};
struct BatchOptions {
    bool keepGoing = false;
    // Called before the work on each item (counted from 1), naming it.
    std::function<void(std::size_t done, std::size_t total, const std::string& item)> progress;
};

// A slide file a caller opened itself (to examine it first, say): the batch
// measures and copies it through this descriptor, so what is stored is the
// file that was examined even when its name is given to another file
// meanwhile. Each is held open until the rewrite is done.
struct OpenSlideFile {
    std::string item; // how problems and progress name it
    std::string path; // its path: the slide is named after its base name
    platform::File file; // not open: a problem (CannotOpen) with the open's cause
    platform::IoFailure openFailure; // why it could not be opened
};
// Opens slideFile by the slide file rule (".SLD" added unless a '.').
OpenSlideFile openSlideFile(const std::string& slideFile);

// Slide files appended in order, each under its upper-cased base name; a
// name already in the library, or given twice, is a problem (SlideExists),
// as are the failures appendSlide names for one file. The library's own
// failures (the shared codes above) end the batch with nothing written.
BatchResult appendSlides(
    const char* library, const std::vector<std::string>& slideFiles, const BatchOptions& options);
BatchResult appendSlides(const char* library, std::vector<OpenSlideFile>& files, const BatchOptions& options);
// Each slide file replaces the slide of its name or is appended; the new
// slides end up last, in the order given.
BatchResult replaceSlides(
    const char* library, const std::vector<std::string>& slideFiles, const BatchOptions& options);
BatchResult replaceSlides(
    const char* library, std::vector<OpenSlideFile>& files, const BatchOptions& options);
// Names matched without regard to case; an absent one is a problem
// (SlideNotFound).
BatchResult deleteSlides(
    const char* library, const std::vector<std::string>& names, const BatchOptions& options);
// Each slide is extracted to directory, then all that were extracted are
// deleted in one rewrite. Files already extracted stay when a later
// extraction fails (they are copies; the library keeps its slides).
BatchResult removeSlides(const char* library, const std::vector<std::string>& names, const char* directory,
    const BatchOptions& options);

} // namespace qorvan
