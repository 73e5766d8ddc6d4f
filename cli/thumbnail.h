// Thumbnails for the desktop's file managers: one slide, or the first slides
// of a library side by side, drawn into a PNG of at most SIZE pixels a side.
#pragma once

#include <string>

#include "cli/common.h"

namespace CLI {
class App;
}

namespace qorvan::cli {

// How a thumbnail is drawn. Everything about its look is here, so that the
// drawing can change without touching the command or the thumbnailer file.
// A file manager shows thumbnails on a light page, small: black lines on
// white, the drawing rather than the slide's whole area. Exact lines: the
// smooth style takes about four times as long on large slides (80 ms of
// processor time for the largest real one against 20), and a folder of
// slides asks for many thumbnails at once.
struct ThumbnailLook {
    PictureChoices choices { Background::White, Colour7::Auto, Fit::Drawing, Style::Exact };
    int librarySlides = 4; // a library shows its first slides, in a square grid
    int gap = 2; // see-through pixels between the slides of a library
};

// Draws the slide or library that input names into outPath. False with the
// reason in why (a status message, or the file that could not be written).
bool makeThumbnail(const std::string& input, int size, const ThumbnailLook& look, const std::string& outPath,
    std::string& why);

} // namespace qorvan::cli
