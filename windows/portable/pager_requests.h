// The "Make Pager" buffers this process has handed out and PagerThread has
// not yet taken. Any program on the desktop can post that message with a
// pointer of its choosing: only one of these is read and freed.
#pragma once

#include <cstddef>
#include <vector>

namespace qorwin {

class PagerRequests {
public:
    void HandOut(const void* buffer);
    // True, and forgotten, when buffer was handed out and not taken yet.
    bool Take(const void* buffer);
    std::size_t outstanding() const { return out_.size(); }

private:
    std::vector<const void*> out_;
};

}  // namespace qorwin
