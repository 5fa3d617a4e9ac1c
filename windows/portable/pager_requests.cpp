#include "pager_requests.h"

#include <algorithm>

namespace qorwin {

void PagerRequests::HandOut(const void* buffer) {
    if (buffer != nullptr) out_.push_back(buffer);
}

bool PagerRequests::Take(const void* buffer) {
    auto it = std::find(out_.begin(), out_.end(), buffer);
    if (buffer == nullptr || it == out_.end()) return false;
    out_.erase(it);
    return true;
}

}  // namespace qorwin
