// Drawing a slide reference into a picture control: the one place the
// dialogs meet the slide display code.
#pragma once

#include <string>

namespace qorvan::ui {

class PictureControl;

// Draws the slide that ref names into control (erased to black first) and
// returns the StatusCode; with no control, 0 and nothing drawn. When the
// program asked for it (readExistingFilesAsWritten in ui/dialogs.h), ref is
// read by the tool's rules: a file that exists as written is that file.
int ShowSlide(PictureControl* control, const std::string& ref);

// Whether the program asked for the tool's rules.
bool ReadsByToolRules();

} // namespace qorvan::ui
