// "UPS Setting": the battery times and the count-down period.
#pragma once

#include "console_form.h"

namespace qor::console {

class CUpsSetForm : public CConsoleForm {
public:
    explicit CUpsSetForm(UpsSettings& settings);

private:
    void store() override;

    CField* expBat_;
    CField* lowBat_;
    CField* period_;
};

}  // namespace qor::console
