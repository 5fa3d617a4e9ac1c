#include "outage_hold.h"

#include <utility>

#include "ups_status.h"

namespace qor {

std::vector<HeldEvent> OutageHold::event(const HeldEvent& e, int delaySec) {
    std::vector<HeldEvent> out;
    if (held_.empty()) {
        if (e.kind == EvAcFail && delaySec > 0) {
            held_.push_back(e);
            due_ = e.time + delaySec;
        } else {
            out.push_back(e);
        }
        return out;
    }
    switch (e.kind) {
    case EvAcRecoveried:
        dropped_ = true;
        lasted_ = e.time - held_.front().time;
        held_.clear();
        break;
    case EvAcFail:
        if (held_.size() < kMaxHeld) held_.push_back(e);
        break;
    default:
        out = std::move(held_);
        held_.clear();
        out.push_back(e);
        break;
    }
    return out;
}

std::vector<HeldEvent> OutageHold::tick(int64_t now) {
    std::vector<HeldEvent> out;
    if (held_.empty() || now < due_) return out;
    out = std::move(held_);
    held_.clear();
    return out;
}

bool OutageHold::takeDropped(int64_t& lastedSec) {
    if (!dropped_) return false;
    dropped_ = false;
    lastedSec = lasted_;
    return true;
}

}  // namespace qor
