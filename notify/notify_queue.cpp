#include "notify_queue.h"

#include <cstring>

namespace qor {

void NotifyQueue::push(int32_t code) {
    std::lock_guard<std::mutex> g(m_);
    if (count_ >= kCapacity) count_ -= 2;
    codes_[count_++] = code;
}

bool NotifyQueue::takeLocked(int32_t& code) {
    if (count_ <= 0) return false;
    code = codes_[0];
    --count_;
    std::memmove(codes_, codes_ + 1, static_cast<size_t>(count_) * sizeof codes_[0]);
    return true;
}

bool NotifyQueue::take(int32_t& code) {
    std::lock_guard<std::mutex> g(m_);
    return takeLocked(code);
}

int NotifyQueue::size() const {
    std::lock_guard<std::mutex> g(m_);
    return count_;
}

}  // namespace qor
