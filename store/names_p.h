// Slide names and the path rules: which file each operation names, and the
// texts its messages show.
#pragma once

#include "store/library.h"

#include <string>
#include <string_view>

namespace qorvan::detail {

// One library as an operation sees it. The file is resolved once, and every
// later step (read, create, rewrite, extract, final replace) uses native, so
// no operation can touch a file other than the library it read.
struct LibraryFile {
    std::string written; // the caller's text, for SlideNotFound, EmptyLibrary and SlideExists
    std::string readerText; // lower-cased, ".slb" added unless present: the reader's CannotOpen
    std::string writerText; // caller's case, same extension rule: a write's CannotOpen
    std::string extractText; // upper-cased, ".slb" added unless a '.': an extraction's CannotOpen
    std::string dirText; // the caller's directory part, as written
    std::string stem; // caller's final component, cut for the temporary name
    std::string nativeDir; // the directory the library lives in
    std::string native; // the library file itself (may not exist yet)
    bool tooLong = false; // some text would not fit a 255-character buffer
};

LibraryFile resolveLibrary(const char* library);

// True when the library file exists (as anything: a directory or unreadable
// file counts, so that nothing is created over it).
bool libraryExists(const LibraryFile& lib);

// The slide file rule: ".SLD" appended unless the file name holds a '.'.
std::string slideFileText(std::string_view slidePath);

// The upper-cased base name of a slide file path, cut to 31 characters.
std::string slideNameOf(std::string_view slidePath);

// A name the store may write into a directory and later use as a file name:
// not empty, at most 31 bytes, no separator, colon or control character, not
// "." or "..".
bool isUsableName(std::string_view name);

std::string storedName(const SlideName& name);
SlideName makeSlideName(std::string_view name);

// The output rule: directory, a '\' unless it ends in one, name, ".SLD".
std::string outputText(std::string_view directory, std::string_view name);

// The native directory and final component of a user path, resolved as
// for creating a file there.
struct NativeTarget {
    std::string dirText; // caller's directory part, with drive
    std::string name; // final component as written
    std::string nativeDir; // "." for the current directory
    std::string native; // nativeDir joined with the resolved final component
    bool exists = false; // native names a file or folder that is there now
};
NativeTarget resolveTarget(std::string_view userPath);

std::string joinNative(const std::string& dir, std::string_view name);

// The temporary rule, applied to a final component only so that the
// temporary file always lies beside the library: cut at the first '.' that
// follows a character other than '.'; the caller adds ".tmp".
std::string temporaryStem(std::string_view name);

} // namespace qorvan::detail
