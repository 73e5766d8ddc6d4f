// Shared pieces of the dialog tests: slide fixtures, pixel checks and a
// guard for the working directory the manager changes.
#pragma once

#include "ui/picture_control.h"
#include "ui/template.h"

#include "tests/support/tempdir.h"
#include "tests/ui/sample_slides.h"

#include <QImage>

#include <filesystem>
#include <string>

namespace qorvan::testing {

// Pixels of the picture that are not black.
inline int litPixels(const QImage& image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) != 0) ++n;
    return n;
}

inline int litPixels(const ui::PictureControl* p)
{
    return litPixels(p->image());
}

class CwdGuard {
public:
    CwdGuard()
        : saved_(std::filesystem::current_path())
    {
    }
    ~CwdGuard() { std::filesystem::current_path(saved_); }

private:
    std::filesystem::path saved_;
};

} // namespace qorvan::testing
