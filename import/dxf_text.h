// Text as DXF writes it, turned into runs of UTF-8 the stroke font draws:
// TEXT's %% codes, MTEXT's inline formatting, \U+XXXX code points.
#pragma once

#include <string>
#include <vector>

namespace qorvan::import::dxf {

// A piece of text drawn one way. A stacked run draws `over` above `under`
// instead of its text (a fraction, a tolerance).
struct TextRun {
    std::string text; // UTF-8
    double height = 0; // in drawing units; 0: the entity's own
    int colour = -1; // a colour number; -1: the entity's own
    bool underline = false, overline = false;
    bool stacked = false;
    char stackKind = '/'; // '/' a bar between, '#' a slash, '^' nothing (one above the other)
    std::string over, under;
};

// One line of TEXT, or one paragraph of MTEXT before it is wrapped.
using TextLine = std::vector<TextRun>;

// TEXT: %%d degree, %%p plus-minus, %%c diameter, %%% percent, %%nnn the
// character of that number, %%u and %%o toggle under- and overline, and
// \U+XXXX a code point.
TextLine textRuns(const std::string& t);

// MTEXT split at \P into paragraphs, each a sequence of runs: braces group
// formatting; \H (height, absolute or with x relative), \C (colour), \L and
// \O (under-, overline), \S (stacking with ^, / or #) and \U+XXXX are kept,
// the rest (fonts, widths, slant, tracking, alignment) read past. `height`
// is the entity's, which relative heights multiply.
std::vector<TextLine> mtextParagraphs(const std::string& t, double height);

} // namespace qorvan::import::dxf
