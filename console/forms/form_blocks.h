// The fields every console form is built from. Their options are set when
// they are made, before the form takes them, because the binding picks each
// field's default look from its options when the form is built.
#pragma once

#include <cursesf.h>

#include <string>

namespace qor::console {

enum class FieldKind { Label, Button, Entry, Check };

class CField : public NCursesFormField {
public:
    FieldKind kind() const { return kind_; }
    // The field's buffer, blanks included.
    std::string text() const;
    void setText(const char* text);
    // Width in columns, fixed when the field is made.
    int width() const { return width_; }

protected:
    CField(FieldKind kind, int width, int line, int column);

private:
    FieldKind kind_;
    int width_;
};

// Shows its text; the cursor never stops on it.
class CLabel : public CField {
public:
    CLabel(const char* text, int line, int column);
};

// The cursor stops on it; it cannot be typed into.
class CButton : public CField {
public:
    CButton(const char* text, int line, int column);
};

// An editable one-line entry of the form library's defaults that accepts any
// text.
class CTextEntry : public CField {
public:
    CTextEntry(int width, int line, int column);

private:
    Regular_Expression_Field type_{""};
};

// An editable entry that cannot be left while it holds a non-blank text that
// is not an integer in [minimum, maximum].
class CIntegerEntry : public CField {
public:
    CIntegerEntry(int width, int line, int column, int precision, long minimum, long maximum);

private:
    Integer_Field type_;
};

// "[ ]" or "[X]": a check box on its own or a member of a radio group.
class CCheckField : public CField {
public:
    CCheckField(int line, int column, bool on);
    bool on() const;
    void setOn(bool on);
};

}  // namespace qor::console
