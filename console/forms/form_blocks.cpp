#include "form_blocks.h"

#include <cstring>

#include "field_text.h"

namespace qor::console {

namespace {
int textWidth(const char* text) {
    size_t n = std::strlen(text);
    return n == 0 ? 1 : static_cast<int>(n);  // the form library wants at least one column
}
}  // namespace

CField::CField(FieldKind kind, int width, int line, int column)
    : NCursesFormField(1, width, line, column), kind_(kind), width_(width) {}

std::string CField::text() const {
    const char* buf = ::field_buffer(field, 0);
    return buf != nullptr ? std::string(buf) : std::string();
}

void CField::setText(const char* text) { ::set_field_buffer(field, 0, text); }

CLabel::CLabel(const char* text, int line, int column) : CField(FieldKind::Label, textWidth(text), line, column) {
    setText(text);
    ::field_opts_off(field, O_ACTIVE);
}

CButton::CButton(const char* text, int line, int column) : CField(FieldKind::Button, textWidth(text), line, column) {
    setText(text);
    ::field_opts_off(field, O_EDIT);
}

CTextEntry::CTextEntry(int width, int line, int column) : CField(FieldKind::Entry, width, line, column) {
    set_fieldtype(type_);
}

CIntegerEntry::CIntegerEntry(int width, int line, int column, int precision, long minimum, long maximum)
    : CField(FieldKind::Entry, width, line, column), type_(precision, minimum, maximum) {
    set_fieldtype(type_);
}

CCheckField::CCheckField(int line, int column, bool on) : CField(FieldKind::Check, 3, line, column) {
    setText(checkText(on));
    ::field_opts_off(field, O_EDIT);
}

bool CCheckField::on() const { return isChecked(text()); }

void CCheckField::setOn(bool on) { setText(checkText(on)); }

}  // namespace qor::console
