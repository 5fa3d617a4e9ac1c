// "Pager Number Setting": pager numbers 2 to 10.
#pragma once

#include "console_form.h"
#include "form_rules.h"

namespace qor::console {

class CPagerMoreForm : public CConsoleForm {
public:
    explicit CPagerMoreForm(UpsSettings& settings);

private:
    void store() override;
    void clearRule() override;

    CField* numbers_[kMoreSlots];
};

}  // namespace qor::console
