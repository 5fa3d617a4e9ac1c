// Decisions taken once when the main dialog starts.
#pragma once

#include <cstdint>

namespace qorwin {

// The ShutDown Status question is asked only when both "ShutDown" and
// "Show Status" are 1; "ShutDown" is reset to 0 only after it was asked.
bool ShouldAskShutdownStatus(std::uint32_t shutDown, std::uint32_t showStatus);

// Boot files are restored only on Windows 98 and Me: the 9x platform (id 1),
// major version 4, minor version 10 or more.
bool IsBootFileRestorePlatform(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor);

// Frames of the main dialog's animation: 0, 1, 2, 0, ...
inline constexpr int kAnimationFrames = 3;
inline int NextFrame(int index) {
    int next = (index + 1) % kAnimationFrames;
    return next < 0 ? next + kAnimationFrames : next;
}

}  // namespace qorwin
