#include "pager_more_form.h"

#include <string>

namespace qor::console {

CPagerMoreForm::CPagerMoreForm(UpsSettings& settings) : CConsoleForm(24, 45, 24, 45) {
    settings_ = &settings;
    PagerMoreTexts t = fillPagerMore(settings);
    add<CButton>("[   OK   ]", 20, 5);
    add<CButton>("[ Cancel ]", 20, 17);
    for (int k = 2; k <= kListSlots; ++k) add<CLabel>(("Number" + std::to_string(k) + ":").c_str(), 2 * k - 3, 5);
    for (int k = 2; k <= kListSlots; ++k) {
        CField* entry = add<CTextEntry>(kPagerMoreWidth, 2 * k - 3, 15);
        entry->setText(t.numbers[k - 2].c_str());
        numbers_[k - 2] = entry;
    }
    add<CButton>("[ clear ]", 20, 30);
    finish("Pager Number Setting");
}

void CPagerMoreForm::store() {
    PagerMoreTexts t;
    for (int i = 0; i < kMoreSlots; ++i) t.numbers[i] = numbers_[i]->text();
    storePagerMore(t, *settings_);
}

void CPagerMoreForm::clearRule() {
    clearPagerMore(*settings_);
    for (CField* entry : numbers_) entry->setText("");
}

}  // namespace qor::console
