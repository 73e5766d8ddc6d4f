// Drawing a slide reference into a picture control.
#include "ui/slide_display.h"

#include "slide/display.h"
#include "ui/dialogs.h"
#include "ui/picture_control.h"

namespace qorvan::ui {

namespace {

    bool asWritten = false;

} // namespace

void readExistingFilesAsWritten(bool on)
{
    asWritten = on;
}

bool ReadsByToolRules()
{
    return asWritten;
}

int ShowSlide(PictureControl* control, const std::string& ref)
{
    return slide::showSlide(
        control, ref.c_str(), asWritten ? slide::RefRules::Tool : slide::RefRules::Viewer);
}

} // namespace qorvan::ui
