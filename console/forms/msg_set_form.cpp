#include "msg_set_form.h"

namespace qor::console {

CMsgSetForm::CMsgSetForm(UpsSettings& settings) : CConsoleForm(15, 55, 15, 55) {
    settings_ = &settings;
    MsgSetMarks m = fillMsgSet(settings);
    add<CLabel>("AC Fail", 4, 6);
    add<CLabel>("Low Battery", 6, 6);
    add<CLabel>("AC Recoveried", 8, 6);
    add<CLabel>("Email", 1, 28);
    add<CLabel>("Pager", 1, 38);
    // Byte 2k is the mail flag of kind k (column 29), 2k+1 its pager flag (39).
    for (int i = 0; i < kMsgFlags; ++i) boxes_[i] = add<CCheckField>(4 + 2 * (i / 2), i % 2 == 0 ? 29 : 39, m.on[i]);
    add<CButton>("[   OK   ]", 12, 25);
    add<CButton>("[ Cancle ]", 12, 40);
    finish("Message Setting");
}

void CMsgSetForm::store() {
    MsgSetMarks m{};
    for (int i = 0; i < kMsgFlags; ++i) m.on[i] = boxes_[i]->on();
    storeMsgSet(m, *settings_);
}

}  // namespace qor::console
