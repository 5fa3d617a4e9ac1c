#include "form_placement.h"

namespace qor::console {

FormPlace placeForm(int lines, int cols, int a, int b) {
    int line = (lines - a) / 2;
    int column = (cols - b) / 2;
    return {line < 0 ? 0 : line, column < 0 ? 0 : column};
}

}  // namespace qor::console
