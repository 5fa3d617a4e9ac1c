#include "dial_set_form.h"

#include <syslog.h>

#include "form_rules.h"
#include "port_tables.h"

namespace qor::console {

CDialSetForm::CDialSetForm(UpsSettings& settings) : CConsoleForm(25, 75, 25, 75) {
    settings_ = &settings;
    DialSetValues v = fillDialSet(settings);
    add<CButton>("[   OK   ]", 21, 15);
    add<CButton>("[ Cancel ]", 21, 42);
    add<CLabel>("Device:", 1, 3);
    add<CLabel>("Modem Device:", 2, 8);
    // Two ports a line, "NONE" on a line of its own.
    for (int i = 0; i < kPortCount; ++i)
        device_.push_back(addRadio(portLabel(i), 3 + i / 2, i % 2 == 0 ? 8 : 45, v.device == i));

    add<CLabel>("Flow Control:", 7, 8);
    const char* flows[] = {"CRTSCTS", "XON/XOFF", "NONE"};
    for (int i = 0; i < 3; ++i) flow_.push_back(addRadio(flows[i], 8 + i, 8, v.flow == i));

    add<CLabel>("Line Termination:", 7, 45);
    const char* terminations[] = {"CR", "LF", "CR/LF"};
    for (int i = 0; i < 3; ++i) termination_.push_back(addRadio(terminations[i], 8 + i, 45, v.termination == i));

    add<CLabel>("Connection Speed:", 12, 8);
    for (int i = 0; i < kModemSpeedCount; ++i)
        speed_.push_back(addRadio(kModemSpeeds[i].label, 13 + i / 4, 8 + 14 * (i % 4), v.speed == i));

    add<CLabel>("Account:", 16, 3);
    add<CLabel>("User Name:", 17, 5);
    add<CLabel>("Password:", 17, 40);
    add<CLabel>("Phone Number:", 18, 5);
    add<CLabel>("Timeout(Sec):", 18, 40);
    user_ = add<CTextEntry>(kDialEntryWidth, 17, 19);
    password_ = add<CTextEntry>(kDialEntryWidth, 17, 57);
    phone_ = add<CTextEntry>(kDialEntryWidth, 18, 19);
    timeout_ = add<CTextEntry>(kDialEntryWidth, 18, 57);
    user_->setText(v.user.c_str());
    password_->setText(v.password.c_str());
    phone_->setText(v.phone.c_str());
    timeout_->setText(v.timeout.c_str());
    add<CLabel>("Authentication:", 19, 5);
    auth_.push_back(addRadio("PAP", 19, 35, v.auth == 0));
    auth_.push_back(addRadio("CHAP", 19, 50, v.auth == 1));

    addGroup(device_);
    addGroup(flow_);
    addGroup(termination_);
    addGroup(speed_);
    addGroup(auth_);
    finish("Dial Setting");
}

void CDialSetForm::store() {
    DialSetValues v;
    v.device = marked(device_);
    v.flow = marked(flow_);
    v.termination = marked(termination_);
    v.speed = marked(speed_);
    v.auth = marked(auth_);
    v.user = user_->text();
    v.password = password_->text();
    v.phone = phone_->text();
    v.timeout = timeout_->text();
    for (const std::string& line : storeDialSet(v, *settings_)) syslog(LOG_ERR, "%s", line.c_str());
}

}  // namespace qor::console
