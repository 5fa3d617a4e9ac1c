#include "console_form.h"

#include "field_text.h"
#include "form_keys.h"
#include "form_placement.h"
#include "key_source.h"

namespace qor::console {

namespace {
int placedLine(int lines, int a) { return placeForm(lines, 0, a, 0).line; }
int placedColumn(int cols, int b) { return placeForm(0, cols, 0, b).column; }
}  // namespace

CConsoleForm::CConsoleForm(int lines, int cols, int a, int b)
    : NCursesForm(lines, cols, placedLine(::LINES, a), placedColumn(::COLS, b)) {}

CConsoleForm::~CConsoleForm() {
    // The binding cannot take a posted form apart; a form left posted by a
    // broken key loop is taken down here (a no-op otherwise).
    if (form != nullptr) ::unpost_form(form);
}

void CConsoleForm::run() noexcept {
    try {
        (*this)();
    } catch (...) {
        if (form != nullptr) ::unpost_form(form);
        ::hide_panel(p);
        ::update_panels();
        ::doupdate();
    }
}

CCheckField* CConsoleForm::addRadio(const char* label, int line, int column, bool on) {
    CCheckField* radio = add<CCheckField>(line, column, on);
    add<CLabel>(label, line, column + 4);
    return radio;
}

void CConsoleForm::addGroup(std::vector<CCheckField*> members) { groups_.push_back(std::move(members)); }

int CConsoleForm::marked(const std::vector<CCheckField*>& group) {
    for (size_t i = 0; i < group.size(); ++i) {
        if (group[i]->on()) return static_cast<int>(i);
    }
    return -1;
}

void CConsoleForm::finish(const char* title) {
    auto array = std::make_unique<NCursesFormField*[]>(pending_.size() + 1);
    auto terminator = std::make_unique<NCursesFormField>();
    fields_.reserve(pending_.size());
    for (size_t i = 0; i < pending_.size(); ++i) {
        fields_.push_back(pending_[i].get());
        array[i] = pending_[i].release();
    }
    array[pending_.size()] = terminator.release();
    pending_.clear();
    // From here the form owns the array and every field in it.
    InitForm(array.release(), true, true);
    boldframe(title);
    ::keypad(w, TRUE);
}

CField* CConsoleForm::currentField() const {
    if (form == nullptr) return nullptr;
    int i = ::field_index(::current_field(form));
    if (i < 0 || static_cast<size_t>(i) >= fields_.size()) return nullptr;
    return fields_[static_cast<size_t>(i)];
}

const std::vector<CCheckField*>* CConsoleForm::groupOf(const CField* f) const {
    for (const auto& g : groups_) {
        for (const CCheckField* m : g) {
            if (m == f) return &g;
        }
    }
    return nullptr;
}

int CConsoleForm::endRequest() { return NCursesForm::virtualize(kQuitKey); }

int CConsoleForm::getKey() { return readKey(w); }

int CConsoleForm::virtualize(int c) {
    try {
        beforeKey();
        return translate(c);
    } catch (...) {
        return kConsumed;
    }
}

int CConsoleForm::translate(int c) {
    switch (c) {
    case kQuitKey: return endRequest();
    case '\t': return REQ_NEXT_FIELD;
    case KEY_DOWN: return REQ_DOWN_FIELD;
    case KEY_UP: return REQ_UP_FIELD;
    case KEY_LEFT: return REQ_LEFT_FIELD;
    case KEY_RIGHT: return REQ_RIGHT_FIELD;
    case '\r':
    case '\n':
    case KEY_ENTER: return onEnter();
    case ' ': return onSpace();
    default: return NCursesForm::virtualize(c);
    }
}

int CConsoleForm::onEnter() {
    CField* cur = currentField();
    if (cur == nullptr) return REQ_NEXT_FIELD;
    switch (enterAction(cur->text(), cur->kind() == FieldKind::Button, cancelWord())) {
    case EnterAction::Save:
        store();
        if (settings_ != nullptr) settings_->saveRequest = 1;
        return endRequest();
    case EnterAction::Cancel: return endRequest();
    case EnterAction::SubForm:
        runSubForm(*cur);
        return REQ_NEXT_FIELD;
    case EnterAction::Clear:
        clearRule();
        return REQ_NEXT_FIELD;
    case EnterAction::NextField: break;
    }
    return REQ_NEXT_FIELD;
}

int CConsoleForm::onSpace() {
    CField* cur = currentField();
    if (cur == nullptr || cur->kind() != FieldKind::Check) return ' ';
    auto* check = static_cast<CCheckField*>(cur);
    if (const auto* group = groupOf(check)) {
        for (CCheckField* m : *group) m->setOn(false);
        check->setOn(true);
    } else {
        check->setOn(!check->on());
    }
    return kConsumed;
}

int CConsoleForm::driver(int c) {
    // The field under the cursor shows pairs 2 and 4 swapped.
    if (FIELD* before = ::current_field(form)) {
        ::set_field_back(before, COLOR_PAIR(2));
        ::set_field_fore(before, COLOR_PAIR(4));
    }
    int err = c == kConsumed ? E_OK : ::form_driver(form, c);
    if (FIELD* now = ::current_field(form)) {
        ::set_field_back(now, COLOR_PAIR(4));
        ::set_field_fore(now, COLOR_PAIR(2));
    }
    switch (err) {
    case E_OK:
    case E_REQUEST_DENIED:
    case E_INVALID_FIELD:
    case E_UNKNOWN_COMMAND: return err;
    default: return E_REQUEST_DENIED;  // anything else would end the program in the binding
    }
}

}  // namespace qor::console
