#include "email_addr_form.h"

#include <syslog.h>

#include <string>

namespace qor::console {

CEmailAddrForm::CEmailAddrForm(UpsSettings& settings) : CConsoleForm(24, 75, 24, 75) {
    settings_ = &settings;
    EmailAddrTexts t = fillEmailAddr(settings);
    add<CButton>("[   OK   ]", 20, 8);
    add<CButton>("[ Cancel ]", 20, 42);
    for (int k = 2; k <= kListSlots; ++k) add<CLabel>(("Email" + std::to_string(k) + ":").c_str(), 2 * k - 3, 29);
    for (int k = 2; k <= kListSlots; ++k) {
        addrs_[k - 2] = add<CTextEntry>(kEmailAddrWidth, 2 * k - 3, 37);
        addrs_[k - 2]->setText(t.addrs[k - 2].c_str());
    }
    for (int k = 2; k <= kListSlots; ++k) add<CLabel>(("name" + std::to_string(k) + ":").c_str(), 2 * k - 3, 2);
    for (int k = 2; k <= kListSlots; ++k) {
        names_[k - 2] = add<CTextEntry>(kEmailNameWidth, 2 * k - 3, 10);
        names_[k - 2]->setText(t.names[k - 2].c_str());
    }
    add<CButton>("[ clear ]", 20, 60);
    finish("Email address Setting");
}

void CEmailAddrForm::store() {
    EmailAddrTexts t;
    for (int i = 0; i < kMoreSlots; ++i) {
        t.addrs[i] = addrs_[i]->text();
        t.names[i] = names_[i]->text();
    }
    for (const std::string& line : storeEmailAddr(t, *settings_)) syslog(LOG_ERR, "%s", line.c_str());
}

void CEmailAddrForm::clearRule() {
    clearEmailAddr(*settings_);
    for (int i = 0; i < kMoreSlots; ++i) {
        addrs_[i]->setText("");
        names_[i]->setText("");
    }
}

}  // namespace qor::console
