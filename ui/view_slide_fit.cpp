// The fit arithmetic of the View Slide dialog.
#include "ui/view_slide_fit.h"

#include <algorithm>

namespace qorvan::ui {

FitLayout fitLayout(Size client, Size picture, Size button, Size requested)
{
    FitLayout f {};
    f.client = { client.width + (requested.width - picture.width),
        client.height + (requested.height - picture.height) };
    f.margin = (client.width - picture.width) / 2;
    f.okX = (f.client.width - button.width) / 2;
    f.okY = (requested.height + f.margin + f.client.height - button.height) / 2;
    return f;
}

Size clampPictureSize(Size requested, Size available, Size around)
{
    auto clamp = [](int v, int room) {
        int upper = room > MIN_PICTURE ? room : MIN_PICTURE;
        return std::clamp(v, MIN_PICTURE, upper);
    };
    int maxW = available.width > 0 ? available.width - around.width : 1 << 14;
    int maxH = available.height > 0 ? available.height - around.height : 1 << 14;
    return { clamp(requested.width, maxW), clamp(requested.height, maxH) };
}

} // namespace qorvan::ui
