// Where a console form's panel goes on the screen.
#pragma once

namespace qor::console {

struct FormPlace {
    int line, column;
};

// Line (lines-a)/2 and column (cols-b)/2 of the screen, a and b given per
// form. On a terminal too small for that a negative position is taken as 0:
// the form opens at the top or left edge and what does not fit is not drawn.
FormPlace placeForm(int lines, int cols, int a, int b);

}  // namespace qor::console
