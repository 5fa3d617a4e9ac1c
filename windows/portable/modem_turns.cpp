#include "modem_turns.h"

namespace qorwin {

bool ModemTurns::MayStart(LineUser who) const {
    if (holder_ != LineUser::None || who == LineUser::None) return false;
    const LineUser other = who == LineUser::Mail ? LineUser::Pager : LineUser::Mail;
    if (!Waiting(other)) return true;
    // Both wait: not the one that just had the line; afresh, the pager first.
    if (last_ == LineUser::None) return who == LineUser::Pager;
    return last_ != who;
}

void ModemTurns::Start(LineUser who) {
    holder_ = who;
    if (who == LineUser::Mail)
        mailWaiting_ = false;
    else if (pagerQueued_ > 0)
        --pagerQueued_;
}

void ModemTurns::Finish(LineUser who) {
    if (holder_ != who) return;
    holder_ = LineUser::None;
    last_ = who;
    ForgetLastIfIdle();
}

void ModemTurns::ForgetLastIfIdle() {
    if (holder_ == LineUser::None && !mailWaiting_ && pagerQueued_ == 0) last_ = LineUser::None;
}

}  // namespace qorwin
