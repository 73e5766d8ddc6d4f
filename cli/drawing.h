// Drawing a loaded slide to a picture file the way the dialogs draw it: the
// background first, the slide scaled into the picture by the renderer, the
// same raster surface; or the same drawing as SVG vectors.
#pragma once

#include <string>

#include "cli/slide_source.h"

namespace qorvan::cli {

enum class Background { Black, White, None };
enum class PictureFormat { Png, Svg };

// The slide's own size, (xDots + 1) x (yDots + 1) in the slide's byte order;
// a slide without a usable extent gets DEFAULT_PICTURE_*; sides are capped at
// the raster surface's limit.
inline constexpr int DEFAULT_PICTURE_WIDTH = 640;
inline constexpr int DEFAULT_PICTURE_HEIGHT = 480;
void slideSize(const LoadedSlide& slide, int& width, int& height);

// The bytes the renderer reads: the slide itself, or a little-endian copy
// of a slide written high byte first.
std::vector<std::uint8_t> rendererBytes(const LoadedSlide& slide);

struct DrawResult {
    bool written = false; // the picture file was written
    int header = 0;       // the header check's result: 0, 2 or 3
};

DrawResult drawPicture(const LoadedSlide& slide, int width, int height, Background background, PictureFormat format,
                       const std::string& outPath);

// The SVG document alone, for the gallery.
std::string svgDocument(const LoadedSlide& slide, int width, int height, Background background, int* header);

} // namespace qorvan::cli
