// "Message Setting": which events go out by mail and by pager.
#pragma once

#include "console_form.h"
#include "form_rules.h"

namespace qor::console {

class CMsgSetForm : public CConsoleForm {
public:
    explicit CMsgSetForm(UpsSettings& settings);

private:
    void store() override;
    const char* cancelWord() const override { return "Cancle"; }

    CCheckField* boxes_[kMsgFlags];
};

}  // namespace qor::console
