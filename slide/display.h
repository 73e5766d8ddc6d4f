// Showing a slide named by a SlideRef: "PATH" or "PATH.SLD" for a slide
// file, "LIBRARY(NAME)" for slide NAME in LIBRARY.SLB, read by the viewer's
// rules (store/slide_ref.h). Every function returns
// a StatusCode and records failures in the module status (store/status.h).
#pragma once

#include "slide/renderer.h"
#include "slide/window.h"
#include "store/library_codec.h"

#include <string>

namespace qorvan::slide {

// Buffer limits of a SlideRef: a file-form reference holds at most
// FILE_REF_MAX characters, a library-form one at most LIBRARY_REF_MAX; longer
// ones are refused with CannotOpen rather than cut into another name.
inline constexpr int FILE_REF_MAX = 255;
inline constexpr int LIBRARY_REF_MAX = 131;

// Which rules turn the reference into a file: the viewer's, as the module
// has always read them, or the tool's (a file that exists as written first,
// then the store's rules: slide/slide_source.h), for the qorvan tool's
// dialogs, so that they show what every qorvan command reads.
enum class RefRules { Viewer, Tool };

// Erases window, clips its surface to the client area and draws the slide.
// With no window: Ok, nothing drawn.
StatusCode showSlide(Window* window, const char* slideRef, RefRules rules = RefRules::Viewer);

// Stores window and surface in renderer and draws slideRef with it.
StatusCode drawSlideRef(SlideRenderer& renderer, Window* window, Surface* surface, const char* slideRef);

// A slide file: Ok, CannotOpen, DisplayMismatch or InvalidSlide.
StatusCode drawSlideFile(SlideRenderer& renderer, const char* path);

// The file at path as it is: Ok, CannotOpen, DisplayMismatch or InvalidSlide.
StatusCode drawFileAsWritten(SlideRenderer& renderer, const char* path);

// Slide name in libraryPath + ".SLB": as a slide file, or InvalidLibrary, or
// SlideNotFound.
StatusCode drawLibrarySlide(SlideRenderer& renderer, const char* libraryPath, const char* slideName);

// Slide name (upper-cased, then matched as match says) in the library file.
StatusCode drawFromLibrary(
    SlideRenderer& renderer, const std::string& libraryFile, const std::string& slideName, NameMatch match);

} // namespace qorvan::slide
