// "Email address Setting": recipients 2 to 10.
#pragma once

#include "console_form.h"
#include "form_rules.h"

namespace qor::console {

class CEmailAddrForm : public CConsoleForm {
public:
    explicit CEmailAddrForm(UpsSettings& settings);

private:
    void store() override;
    void clearRule() override;

    CField* addrs_[kMoreSlots];
    CField* names_[kMoreSlots];
};

}  // namespace qor::console
