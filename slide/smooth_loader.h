// The smooth style is drawn by a module of its own, qorvan-smooth.so, that
// qorvan loads only when a smooth picture is asked for: the 2D library under
// it brings some twenty shared libraries whose loading would otherwise slow
// every start of qorvan, most of which draw nothing smooth.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "slide/picture.h"

namespace qorvan::slide {

struct SmoothJob {
    const std::uint8_t* bytes = nullptr; // a little-endian slide
    std::size_t size = 0;
    int width = 0, height = 0;
    ColorRef background = 0; // TRANSPARENT_BACKGROUND: none
    PictureLook look;
    bool svg = false; // else PNG
};

// The module's one entry point: draws job, hands the encoded picture to
// append (in pieces), and returns the header's result (0, 2 or 3), or -1
// when the picture could not be made. Plain C across the boundary: qorvan
// carries its own copy of the C++ runtime, the module the system's.
using SmoothAppend = void (*)(void* closure, const char* data, std::size_t size);
extern "C" int qorvan_smooth_draw(const SmoothJob* job, SmoothAppend append, void* closure);
using SmoothDraw = int (*)(const SmoothJob*, SmoothAppend, void*);

// The entry point, loaded once (safe from any thread); null, with the
// reason in *why, when the module cannot be loaded.
SmoothDraw smoothDrawer(std::string* why);

} // namespace qorvan::slide
