// Turns on the modem line that the pager calls and a dial-up for mail may
// share: one job at a time. A mail waits for the pager job in progress (and
// for one queued before it), never behind a whole queue of them: when both
// sides wait, the one that did not have the last turn goes first.
#pragma once

namespace qorwin {

enum class LineUser { None, Mail, Pager };

class ModemTurns {
public:
    // A pager job is queued (from its post until it starts), or its post failed.
    void PagerQueued() { ++pagerQueued_; }
    void PagerDropped() {
        if (pagerQueued_ > 0) --pagerQueued_;
        ForgetLastIfIdle();
    }
    // A mail is ready to go.
    void MailWaiting() { mailWaiting_ = true; }

    bool MayStart(LineUser who) const;
    // Call only when MayStart(who): who holds the line.
    void Start(LineUser who);
    void Finish(LineUser who);

    LineUser holder() const { return holder_; }
    int pagerQueued() const { return pagerQueued_; }

private:
    bool Waiting(LineUser who) const { return who == LineUser::Mail ? mailWaiting_ : pagerQueued_ > 0; }
    // With nobody waiting, the next comer starts afresh: the pager before a
    // mail posted after it, as when the line was never used.
    void ForgetLastIfIdle();

    LineUser holder_ = LineUser::None;
    LineUser last_ = LineUser::None;
    int pagerQueued_ = 0;
    bool mailWaiting_ = false;
};

}  // namespace qorwin
