// The View Slide dialog's fit step as arithmetic: the dialog grows or
// shrinks by the difference between the requested picture size and the
// template's, the picture sits at equal left and top margins, and OK is
// centred across the dialog and in the band below the picture.
#pragma once

namespace qorvan::ui {

struct Size {
    int width, height;
};

struct FitLayout {
    Size client; // the dialog's new client size
    int margin; // the picture's left and top offset
    int okX, okY; // the OK button's new client position
};

// client: the dialog's client size before the change; pictureSize: the
// picture as laid out from the template; button: OK's size; requested: the
// picture size wanted. Halves truncate toward zero.
FitLayout fitLayout(Size client, Size pictureSize, Size button, Size requested);

// Picture sizes the dialog accepts: at least MIN_PICTURE on each side, and
// at most what leaves the dialog on the screen (available minus the room
// the dialog needs around the picture). A non-positive available size
// leaves the upper bound out.
inline constexpr int MIN_PICTURE = 16;
Size clampPictureSize(Size requested, Size available, Size around);

} // namespace qorvan::ui
