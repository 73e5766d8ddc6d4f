// Drawing a slide reference into a picture control.
#include "ui/slide_display.h"

#include "slide/display.h"
#include "ui/picture_control.h"

namespace qorvan::ui {

int ShowSlide(PictureControl* control, const std::string& ref)
{
    return slide::showSlide(control, ref.c_str());
}

} // namespace qorvan::ui
