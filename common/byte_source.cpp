#include "byte_source.h"

#include <chrono>

namespace qor::common {

bool ByteSource::write(const unsigned char*, std::size_t) { return false; }

long long ByteSource::nowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace qor::common
