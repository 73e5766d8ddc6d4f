// Dialog units: the font a template names, as the nearest font a Linux
// desktop has, and the conversion of template rectangles to pixels with
// that font's average character width and height.
#pragma once

#include "ui/template.h"

#include <QFont>
#include <QRect>

namespace qorvan::ui {

// The font for a template's font name and point size.
QFont templateFont(const char* name, int pointSize);

struct BaseUnits {
    int width; // average character width, pixels
    int height; // character height, pixels
};

// The framework's base units of a font: the average width of the 52 Latin
// letters, rounded, and the font's height.
BaseUnits baseUnits(const QFont& font);

// a * b / c rounded half away from zero, as the framework's MulDiv.
int mulDiv(int a, int b, int c);

// x × width / 4 and y × height / 8.
QRect toPixels(const DuRect& r, BaseUnits units);

} // namespace qorvan::ui
