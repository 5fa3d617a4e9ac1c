// The event codes waiting for the notification worker, oldest first.
#pragma once

#include <cstdint>
#include <mutex>

namespace qor {

class NotifyQueue {
public:
    static constexpr int kCapacity = 1020;

    // Appends a code. When the queue is full the two most recently queued
    // codes are dropped first, leaving 1019 after the append.
    void push(int32_t code);
    // Removes the oldest code into `code`; false when none waits.
    bool take(int32_t& code);
    int size() const;
    bool empty() const { return size() == 0; }

    // Runs `f` with the lock held, so a check of the queue and a change of
    // something that goes with it (the worker-busy flag) form one step.
    template <class F>
    auto withLock(F f) -> decltype(f()) {
        std::lock_guard<std::mutex> g(m_);
        return f();
    }
    // For use inside withLock only.
    int sizeLocked() const { return count_; }
    bool takeLocked(int32_t& code);

private:
    mutable std::mutex m_;
    int32_t count_ = 0;
    int32_t codes_[kCapacity] = {};
};

}  // namespace qor
