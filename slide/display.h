// Showing a slide named by a SlideRef: "PATH" or "PATH.SLD" for a slide
// file, "LIBRARY(NAME)" for slide NAME in LIBRARY.SLB. Every function returns
// a StatusCode and records failures in the module status (store/status.h).
#pragma once

#include "slide/renderer.h"
#include "slide/window.h"

namespace qorvan::slide {

// Buffer limits of a SlideRef: a file-form reference holds at most
// FILE_REF_MAX characters, a library-form one at most LIBRARY_REF_MAX; longer
// ones are refused with CannotOpen rather than cut into another name.
inline constexpr int FILE_REF_MAX = 255;
inline constexpr int LIBRARY_REF_MAX = 131;

// Erases window, clips its surface to the client area and draws the slide.
// With no window: Ok, nothing drawn.
StatusCode showSlide(Window* window, const char* slideRef);

// Stores window and surface in renderer and draws slideRef with it.
StatusCode drawSlideRef(SlideRenderer& renderer, Window* window, Surface* surface, const char* slideRef);

// A slide file: Ok, CannotOpen, DisplayMismatch or InvalidSlide.
StatusCode drawSlideFile(SlideRenderer& renderer, const char* path);

// Slide name in libraryPath + ".SLB": as a slide file, or InvalidLibrary, or
// SlideNotFound.
StatusCode drawLibrarySlide(SlideRenderer& renderer, const char* libraryPath, const char* slideName);

} // namespace qorvan::slide
