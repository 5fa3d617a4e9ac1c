#include "ups_set_form.h"

#include "form_rules.h"

namespace qor::console {

CUpsSetForm::CUpsSetForm(UpsSettings& settings) : CConsoleForm(11, 49, 15, 53) {
    settings_ = &settings;
    UpsSetTexts t = fillUpsSet(settings);
    add<CLabel>("Expected Battery Life:              Minutes", 2, 2);
    add<CLabel>("Battery Life When Battery Low:      Minutes", 4, 2);
    add<CLabel>("Period Count Down:                  Seconds", 6, 2);
    expBat_ = add<CIntegerEntry>(kUpsMinutesWidth, 2, 34, 0, 1, 100);
    lowBat_ = add<CIntegerEntry>(kUpsMinutesWidth, 4, 34, 0, 1, 100);
    period_ = add<CIntegerEntry>(kUpsSecondsWidth, 6, 34, 0, 1, 600);
    add<CButton>("[   OK   ]", 8, 20);
    add<CButton>("[ Cancel ]", 8, 35);
    expBat_->setText(t.expBatMin.c_str());
    lowBat_->setText(t.lowBatMin.c_str());
    period_->setText(t.periodSec.c_str());
    finish("UPS Setting");
}

void CUpsSetForm::store() { storeUpsSet({expBat_->text(), lowBat_->text(), period_->text()}, *settings_); }

}  // namespace qor::console
