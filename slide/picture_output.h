// Drawing a loaded slide to a picture. By default the way the dialogs draw
// it (on black, the slide's area scaled into the picture, one-pixel lines);
// a picture for people may choose a light background (colour 7 then draws
// black), frame the drawing rather than the slide, and draw smooth lines.
#pragma once

#include <string>

#include "slide/picture.h"
#include "slide/slide_source.h"

namespace qorvan::slide {

enum class Background { Black, White, None };
// Dxf is the drawing for CAD programs (slide/dxf_writer.h): in the slide's
// own dots, so the size and the look of a picture do not apply to it.
enum class PictureFormat { Png, Svg, Dxf };
enum class Fit { Slide, Drawing };
enum class Style { Exact, Smooth };
// The colour colour 7 draws in; Auto follows the background: white on
// black and on none (as the dialogs), black on white. Colour 0 takes the
// other one: it stands for the black screen a slide was made on.
enum class Colour7 { Auto, White, Black };

struct PictureChoices {
    Background background = Background::Black;
    Colour7 colour7 = Colour7::Auto;
    Fit fit = Fit::Slide;
    Style style = Style::Exact;
};

// The colour a surface is cleared to: TRANSPARENT_BACKGROUND for None.
ColorRef backgroundColour(Background background);

// The slide's own size, (xDots + 1) x (yDots + 1) in the slide's byte order;
// a slide without a usable extent gets DEFAULT_PICTURE_*; sides are capped at
// the raster surface's limit.
inline constexpr int DEFAULT_PICTURE_WIDTH = 640;
inline constexpr int DEFAULT_PICTURE_HEIGHT = 480;
void slideSize(const LoadedSlide& slide, int& width, int& height);

// The bytes the renderer reads: the slide's own, or for a slide written
// high byte first a little-endian copy kept in `copy`.
const std::vector<std::uint8_t>& rendererBytes(const LoadedSlide& slide, std::vector<std::uint8_t>& copy);

// How the renderer is told the choices for one slide (its drawn box
// included, for Fit::Drawing; a slide that draws nothing keeps its area).
PictureLook pictureLook(
    const std::vector<std::uint8_t>& bytes, int width, int height, const PictureChoices& choices);

struct Picture {
    bool made = false; // encoded holds the picture
    StatusCode header = Ok; // the header check's result: Ok, DisplayMismatch or InvalidSlide
    std::string encoded; // PNG, SVG or DXF bytes
    std::string failure; // why it was not made
};

Picture makePicture(
    const LoadedSlide& slide, int width, int height, const PictureChoices& choices, PictureFormat format);

// Writes a picture or a gallery's page through the atomic writer, without
// flushing it: it is made from slides that stay, so a power failure that
// loses one costs drawing it again, while flushing it costs more than
// drawing most slides. Everything else written is flushed.
bool writePictureFile(const std::string& path, const std::string& bytes);

// The same picture written to a user path through the atomic writer; SVG and
// DXF are written as they are drawn, so its memory does not grow with the drawing.
// made: drawn; written: the file is in place (encoded stays empty).
struct SavedPicture {
    bool made = false;
    bool written = false;
    StatusCode header = Ok;
    std::string failure; // why it was not made
};
SavedPicture savePicture(const LoadedSlide& slide, int width, int height, const PictureChoices& choices,
    PictureFormat format, const std::string& path);

} // namespace qorvan::slide
