#include "email_set_form.h"

#include <syslog.h>

#include "dial_set_form.h"
#include "email_addr_form.h"
#include "form_rules.h"

namespace qor::console {

CEmailSetForm::CEmailSetForm(UpsSettings& settings) : CConsoleForm(22, 75, 22, 75) {
    settings_ = &settings;
    EmailSetValues v = fillEmailSet(settings);
    add<CButton>("[   OK   ]", 18, 15);
    add<CButton>("[ Cancel ]", 18, 50);
    enable_ = add<CCheckField>(2, 2, v.enable);
    add<CLabel>(" Enable E-Mail Notification", 2, 5);
    add<CLabel>(" Always Connect to Internet", 5, 10);
    add<CLabel>(" Use Dialup Account", 7, 10);
    connect_.push_back(add<CCheckField>(5, 7, v.alwaysConnect));
    connect_.push_back(add<CCheckField>(7, 7, !v.alwaysConnect));
    dialup_ = add<CButton>("[    Dialup Setup    ]", 7, 45);
    add<CLabel>(" Name:", 11, 1);
    add<CLabel>(" Email Address:", 13, 1);
    add<CLabel>(" Smtp Server:", 15, 1);
    name_ = add<CTextEntry>(kEmailEntryWidth, 11, 21);
    address_ = add<CTextEntry>(kEmailEntryWidth, 13, 21);
    server_ = add<CTextEntry>(kEmailEntryWidth, 15, 21);
    for (CField* entry : {name_, address_, server_}) ::set_field_just(entry->get_field(), JUSTIFY_CENTER);
    name_->setText(v.name.c_str());
    address_->setText(v.address.c_str());
    server_->setText(v.server.c_str());
    add<CButton>("[ MORE ]", 13, 60);
    addGroup(connect_);
    finish("Email Setting");
}

void CEmailSetForm::store() {
    EmailSetValues v;
    v.enable = enable_->on();
    v.alwaysConnect = connect_[0]->on();
    v.name = name_->text();
    v.address = address_->text();
    v.server = server_->text();
    for (const std::string& line : storeEmailSet(v, *settings_)) syslog(LOG_ERR, "%s", line.c_str());
}

void CEmailSetForm::runSubForm(CField& button) {
    if (&button == dialup_) {
        runChild<CDialSetForm>(*settings_);
    } else {
        runChild<CEmailAddrForm>(*settings_);
    }
}

}  // namespace qor::console
