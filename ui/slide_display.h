// Drawing a slide reference into a picture control: the one place the
// dialogs meet the slide display code.
#pragma once

#include <string>

namespace qorvan::ui {

class PictureControl;

// Draws the slide that ref names into control (erased to black first) and
// returns the StatusCode; with no control, 0 and nothing drawn.
int ShowSlide(PictureControl* control, const std::string& ref);

} // namespace qorvan::ui
