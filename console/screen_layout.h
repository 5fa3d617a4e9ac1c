// Where the main screen puts things, from the terminal's size alone.
#pragma once

namespace qor::console {

struct StatusLayout {
    int column;     // of every status line inside the box
    int rows[4];    // box lines of the four status lines
    bool tall;      // 32 lines or more
};

StatusLayout statusLayout(int screenLines, int screenCols);

// The status box: H-11 lines by W-35 columns at line 7, column 30.
constexpr int kStatusBoxLine = 7;
constexpr int kStatusBoxColumn = 30;
inline int statusBoxLines(int screenLines) { return screenLines - 11; }
inline int statusBoxCols(int screenCols) { return screenCols - 35; }

// Key hints in the left column: which text on which screen line.
struct Hint {
    int line;
    const char* text;
};
// Fills the hints and returns how many; `windowed` when DISPLAY is set.
constexpr int kMaxHints = 7;
int keyHints(int screenLines, bool windowed, Hint out[kMaxHints]);

}  // namespace qor::console
