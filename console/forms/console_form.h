// The base of every console form: field array, key translation, request
// driver with the current-field colours, radio groups and placement.
//
// The binding ends the program (rather than throwing) when one of its calls
// fails, so this class keeps every call inside what cannot fail: panels are
// never placed at a negative position, errors of the form library are mapped
// to refusals, and nothing escapes the key loop.
#pragma once

#include <cursesf.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "form_blocks.h"
#include "ups_settings.h"

namespace qor::console {

class CConsoleForm : public NCursesForm {
public:
    ~CConsoleForm() override;

    // Posts the form, handles keys until it ends (OK, Cancel, Ctrl-X) and
    // removes it. Never throws.
    void run() noexcept;

protected:
    // A panel of `lines` x `cols` at the placement of (a, b).
    CConsoleForm(int lines, int cols, int a, int b);

    // Appends a field to the array (Tab order). Only before finish().
    template <class F, class... Args>
    F* add(Args&&... args) {
        auto f = std::make_unique<F>(std::forward<Args>(args)...);
        F* raw = f.get();
        pending_.push_back(std::move(f));
        return raw;
    }
    // A radio, followed in the array by its label 4 columns to the right.
    CCheckField* addRadio(const char* label, int line, int column, bool on);
    void addGroup(std::vector<CCheckField*> members);
    // Index of the marked member of a group, -1 when none is marked.
    static int marked(const std::vector<CCheckField*>& group);
    // Hands the fields to the form library and draws the bold frame.
    void finish(const char* title);

    CField* currentField() const;

    // What the form does on Enter; the default is the rule of the setting
    // forms (OK stores, Cancel leaves, buttons with sub-forms run them).
    virtual int onEnter();
    virtual void store() {}  // save rule, called before saveRequest is set
    virtual void runSubForm(CField&) {}
    virtual void clearRule() {}
    virtual const char* cancelWord() const { return "Cancel"; }
    // Called first for every key (the log viewer redraws its table there).
    virtual void beforeKey() {}

    // The request that ends the key loop. The binding ends it on its own code
    // for Ctrl-X (not MAX_COMMAND), so that code is asked of the binding.
    int endRequest();
    // Request that does nothing but count as handled; far from the binding's
    // own codes.
    static constexpr int kConsumed = MAX_COMMAND + 0x100;

    int virtualize(int c) override;
    int driver(int c) override;
    int getKey() override;
    // Refused requests are silent.
    void On_Request_Denied(int) const override {}
    void On_Invalid_Field(int) const override {}
    void On_Unknown_Command(int) const override {}

    // Runs another form on top of this one; it cannot end this one.
    template <class Form, class... Args>
    static void runChild(Args&... args) noexcept {
        try {
            Form child(args...);
            child.run();
        } catch (...) {
            // Could not be built: the sub-form is not opened.
        }
    }

    UpsSettings* settings_ = nullptr;

private:
    int translate(int c);
    int onSpace();
    const std::vector<CCheckField*>* groupOf(const CField* f) const;

    std::vector<std::unique_ptr<CField>> pending_;
    std::vector<CField*> fields_;  // owned by the form library's array after finish()
    std::vector<std::vector<CCheckField*>> groups_;
};

}  // namespace qor::console
