// "Dial Setting": the modem and the account of the dial-up link.
#pragma once

#include <vector>

#include "console_form.h"

namespace qor::console {

class CDialSetForm : public CConsoleForm {
public:
    explicit CDialSetForm(UpsSettings& settings);

private:
    void store() override;

    std::vector<CCheckField*> device_, flow_, termination_, speed_, auth_;
    CField* user_;
    CField* password_;
    CField* phone_;
    CField* timeout_;
};

}  // namespace qor::console
