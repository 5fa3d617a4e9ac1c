// What Enter does on the current field of a console form.
#pragma once

#include <string>

namespace qor::console {

enum class EnterAction {
    Save,       // store the values, ask for a save, end the form
    Cancel,     // end the form without storing
    SubForm,    // run the sub-form of the button, then move on
    Clear,      // the form's clear rule, then move on
    NextField,  // any other field
};

// Buttons are told apart by the words in their text ("[   OK   ]" by "OK",
// "[ MORE ]" by "MORE" ...); `cancelWord` is "Cancel", or "Cancle" in the
// Message Setting form. Only buttons are tested: a text typed into an entry
// never ends or saves the form, Enter there always moves to the next field.
EnterAction enterAction(const std::string& text, bool isButton, const char* cancelWord);

}  // namespace qor::console
