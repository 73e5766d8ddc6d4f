// What a slide reference names, and the file names its two forms stand for.
// Every program that takes a reference (the viewer, the store, the tool, the
// dialogs) reads it here, so that "LIB(NAME)" and the optional ".SLD" mean
// one thing. Pure string functions: nothing here touches a file.
//
// A reference is in library form when it holds '(': the text before the
// first '(' is the library's path, the text after it up to the next ')' the
// slide's name, and anything after that ')' is ignored. Otherwise it is a
// slide file's path.
//
// Two sets of rules turn the parts into file names:
//   Store   what the editing operations and the tool use: ".SLD" is added
//           to a slide file whose final component has no '.', ".slb" to a
//           library path that does not already hold ".slb" in any case.
//   Viewer  what the module's viewer uses, kept as it always was: the slide
//           path is upper-cased, a '.' anywhere in it must belong to ".SLD",
//           and ".SLB" is always added to a library path.
// The tool reads a file that exists exactly as written as that file before
// it parses anything (slide/slide_source.h); the rules here are for the rest.
#pragma once

#include <string>
#include <string_view>

namespace qorvan {

struct SlideRef {
    bool library = false; // library form
    std::string path; // the slide file's path, or the library's path, as written
    std::string name; // library form: the slide's name as written
};

SlideRef parseSlideRef(std::string_view text);

// "LIBRARY(NAME)", the reference parseSlideRef reads back as library and
// name when library holds no '(' and name no ')'.
std::string formatSlideRef(std::string_view library, std::string_view name);

// Where the final component of a path begins: after a drive ("X:") and the
// last '\' or '/'.
std::size_t finalComponentStart(std::string_view path);

// A library's path without its file's extension, the form the library part
// of a reference takes: "work/PARTS.SLB" gives "work/PARTS". A '.' in a
// folder name is not an extension.
std::string libraryStem(std::string_view libraryFile);

// The slide file a path stands for under the store's rule.
std::string slideFileName(std::string_view path);

// The library file a library path stands for under the store's rule.
std::string libraryFileName(std::string_view libraryPath);

// The viewer's rules.
struct ViewerSlideFile {
    std::string file; // the upper-cased path, ".SLD" added when it has no '.'
    bool usable = true; // false: a '.' that is not part of ".SLD"
};
ViewerSlideFile viewerSlideFile(std::string_view path);
std::string viewerLibraryFile(std::string_view libraryPath);
// The View Slide dialog's rule for a whole reference, library form
// included: ".SLD" added when it holds no '.' (the text after ')' plays no
// part in finding a library slide).
std::string viewerSlideExtension(std::string_view ref);

} // namespace qorvan
