#include "pager_set_form.h"

#include "form_rules.h"
#include "pager_more_form.h"
#include "port_tables.h"

namespace qor::console {

CPagerSetForm::CPagerSetForm(UpsSettings& settings) : CConsoleForm(24, 65, 24, 65) {
    settings_ = &settings;
    PagerSetValues v = fillPagerSet(settings);
    add<CButton>("[   OK   ]", 20, 7);
    add<CButton>("[ Cancel ]", 20, 42);
    enable_ = add<CCheckField>(1, 3, v.enable);
    add<CLabel>("Enable Pager Notification", 1, 7);

    add<CLabel>("Port:", 3, 8);
    for (int i = 0; i < kPortNone; ++i) port_.push_back(addRadio(portLabel(i), 4 + i, 8, v.port == i));

    add<CLabel>("Baud Rate:", 3, 35);
    const char* bauds[] = {"2400", "4800", "9600", "115200"};
    for (int i = 0; i < 4; ++i) baud_.push_back(addRadio(bauds[i], 4 + i, 35, v.baud == i));

    add<CLabel>("Stop Bit:", 9, 8);
    const char* stops[] = {"1", "1.5", "1.2"};
    for (int i = 0; i < 3; ++i) stopBits_.push_back(addRadio(stops[i], 10 + i, 8, v.stopBits == i));

    add<CLabel>("Parity Bit:", 9, 35);
    const char* parities[] = {"NONE", "ODD", "EVEN"};
    for (int i = 0; i < 3; ++i) parity_.push_back(addRadio(parities[i], 10 + i, 35, v.parity == i));

    add<CLabel>("Data Bit:", 14, 8);
    const char* dataBits[] = {"8", "5", "6", "7"};
    for (int i = 0; i < 4; ++i) dataBits_.push_back(addRadio(dataBits[i], 15 + i / 2, i % 2 == 0 ? 8 : 35, v.dataBits == i));

    add<CLabel>("Pager Number:", 18, 8);
    number_ = add<CTextEntry>(kPagerNumberWidth, 18, 23);
    number_->setText(v.number.c_str());
    add<CButton>("[ MORE ]", 18, 45);
    // The "NONE" port comes last in the array but belongs to the port group.
    port_.push_back(addRadio(portLabel(kPortNone), 8, 8, v.port == kPortNone));

    addGroup(port_);
    addGroup(baud_);
    addGroup(stopBits_);
    addGroup(parity_);
    addGroup(dataBits_);
    finish("Pager Setting");
}

void CPagerSetForm::store() {
    PagerSetValues v;
    v.enable = enable_->on();
    v.port = marked(port_);
    v.baud = marked(baud_);
    v.stopBits = marked(stopBits_);
    v.parity = marked(parity_);
    v.dataBits = marked(dataBits_);
    v.number = number_->text();
    storePagerSet(v, *settings_);
}

void CPagerSetForm::runSubForm(CField&) { runChild<CPagerMoreForm>(*settings_); }

}  // namespace qor::console
