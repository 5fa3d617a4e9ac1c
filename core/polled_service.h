// Work that a front-end serves from its own wait for input, so that it needs
// no thread and no wake-up of its own.
#pragma once

namespace qor {

class PolledService {
public:
    virtual ~PolledService() = default;
    // Readable whenever serve() has something to do.
    virtual int pollFd() const = 0;
    // Does what is due without blocking.
    virtual void serve() = 0;
    // Milliseconds until serve() has work that no readability announces (a
    // time-out), 0 when it is due now, -1 when there is none: a front-end
    // whose ticks rest still calls serve() by then.
    virtual int msUntilDue() const { return -1; }
};

}  // namespace qor
