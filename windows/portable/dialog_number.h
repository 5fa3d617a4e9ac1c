// Whole numbers typed into dialog edits, checked the way the dialog framework
// checks them: an integer first, then its range.
#pragma once

#include <string>

namespace qorwin {

enum class NumberCheck { Ok, NotInteger, OutOfRange };

// Blanks around the number and a sign are accepted; anything else makes the
// text not an integer. Values too large for an int count as out of range.
// *value is set only when the result is Ok.
NumberCheck CheckDialogInteger(const std::string& text, int min, int max, int* value);

// The message the user sees for a failed check ("Please enter an integer
// between 1 and 9999."); empty for Ok.
std::string NumberCheckMessage(NumberCheck result, int min, int max);

}  // namespace qorwin
