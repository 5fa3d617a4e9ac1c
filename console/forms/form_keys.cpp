#include "form_keys.h"

namespace qor::console {

namespace {
bool has(const std::string& text, const char* word) { return text.find(word) != std::string::npos; }
}  // namespace

EnterAction enterAction(const std::string& text, bool isButton, const char* cancelWord) {
    if (!isButton) return EnterAction::NextField;
    if (has(text, "OK")) return EnterAction::Save;
    if (has(text, cancelWord)) return EnterAction::Cancel;
    if (has(text, "MORE") || has(text, "Dialup Setup")) return EnterAction::SubForm;
    if (has(text, "clear")) return EnterAction::Clear;
    return EnterAction::NextField;
}

}  // namespace qor::console
