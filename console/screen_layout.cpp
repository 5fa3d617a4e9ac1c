#include "screen_layout.h"

namespace qor::console {

StatusLayout statusLayout(int screenLines, int screenCols) {
    StatusLayout l{};
    l.column = (screenCols - 67) / 2;
    l.tall = screenLines >= 32;
    int first = l.tall ? (screenLines - 20) / 2 : (screenLines - 17) / 2;
    int step = l.tall ? 3 : 2;
    for (int i = 0; i < 4; ++i) l.rows[i] = first + i * step;
    return l;
}

int keyHints(int h, bool windowed, Hint out[kMaxHints]) {
    static const char* const kMove[4] = {"Move arrow key 'UP' ", "or 'DOWN' to change ",
                                         "item. Press 'Enter' ", "key to select.      "};
    int first = windowed ? h - 10 : h - 9;
    for (int i = 0; i < 4; ++i) out[i] = Hint{first + i, kMove[i]};
    if (windowed) {
        out[4] = Hint{h - 5, "Attention!          "};
        out[5] = Hint{h - 4, "Make sure the window"};
        out[6] = Hint{h - 3, "is large enough     "};
        return 7;
    }
    out[4] = Hint{h - 4, "Make sure that      "};
    out[5] = Hint{h - 3, "you are a su!       "};
    return 6;
}

}  // namespace qor::console
