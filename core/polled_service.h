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
};

}  // namespace qor
