// The record's texts are 8-bit; the widgets show them as Latin-1 so every byte
// value survives a round trip through a dialog.
#pragma once

#include <QString>

#include "ups_settings.h"

namespace qor::gui {

inline QString fieldText(const TextField& field) {
    std::string text = textOf(field);
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// Stores at most 255 characters; the rest of the field is zero-filled.
inline void storeField(TextField& field, const QString& text) {
    setText(field, text.toLatin1().constData());
}

}  // namespace qor::gui
