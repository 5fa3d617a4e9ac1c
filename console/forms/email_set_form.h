// "Email Setting": mail notification on/off, how the machine reaches the mail
// server, the first recipient and the server; sub-forms for the dial-up
// account and for recipients 2 to 10.
#pragma once

#include <vector>

#include "console_form.h"

namespace qor::console {

class CEmailSetForm : public CConsoleForm {
public:
    explicit CEmailSetForm(UpsSettings& settings);

private:
    void store() override;
    void runSubForm(CField& button) override;

    CCheckField* enable_;
    std::vector<CCheckField*> connect_;
    CField* dialup_;
    CField* name_;
    CField* address_;
    CField* server_;
};

}  // namespace qor::console
