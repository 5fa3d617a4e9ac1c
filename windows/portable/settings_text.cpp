#include "settings_text.h"

namespace qorwin {

std::string TitleFromCaption(const std::string& caption) {
    std::string title;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] != '&') {
            title += caption[i];
        } else if (i + 1 < caption.size() && caption[i + 1] == '&') {
            title += '&';
            ++i;
        }
    }
    return title;
}

}  // namespace qorwin
