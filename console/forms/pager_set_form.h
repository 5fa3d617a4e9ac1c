// "Pager Setting": pager notification on/off, the pager line settings and the
// first pager number; "[ MORE ]" opens the other nine numbers.
#pragma once

#include <vector>

#include "console_form.h"

namespace qor::console {

class CPagerSetForm : public CConsoleForm {
public:
    explicit CPagerSetForm(UpsSettings& settings);

private:
    void store() override;
    void runSubForm(CField& button) override;

    CCheckField* enable_;
    std::vector<CCheckField*> port_, baud_, stopBits_, parity_, dataBits_;
    CField* number_;
};

}  // namespace qor::console
