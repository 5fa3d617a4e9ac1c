// What the fuzz targets share: a file of the input's bytes for the readers
// that take a path, and a cursor that takes numbers and pieces off the input.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace qor::fuzz {

// A check the target makes on what the code under test gave back: a failed
// one ends the run the way a sanitizer does, with the input kept as a crash.
#define FUZZ_CHECK(cond)                                                                   \
    do {                                                                                   \
        if (!(cond)) {                                                                     \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

// The input as a file under /tmp, for the readers that take a path; it and
// the copies a target makes beside it (".saved", ".copy") go with the object
// (libFuzzer ends a run without running static destructors).
class InputFile {
public:
    InputFile(const char* name, const uint8_t* data, size_t size)
        : path_(std::string("/tmp/qor-fuzz-") + name + "-" + std::to_string(getpid())) {
        int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) std::abort();
        size_t done = 0;
        while (done < size) {
            ssize_t n = ::write(fd, data + done, size - done);
            if (n <= 0) std::abort();
            done += static_cast<size_t>(n);
        }
        ::close(fd);
    }
    ~InputFile() {
        for (const char* suffix : {"", ".saved", ".copy"}) ::unlink((path_ + suffix).c_str());
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    const char* path() const { return path_.c_str(); }

private:
    std::string path_;
};

// Takes bytes off the front of the input; past its end everything is 0/empty.
class Cursor {
public:
    Cursor(const uint8_t* data, size_t size) : p_(data), left_(size) {}
    uint8_t byte() {
        if (left_ == 0) return 0;
        --left_;
        return *p_++;
    }
    uint16_t u16() { return static_cast<uint16_t>(byte() | byte() << 8); }
    // A piece of at most `max` bytes, its length taken from the input.
    std::string piece(size_t max) {
        size_t n = u16() % (max + 1);
        if (n > left_) n = left_;
        std::string s(reinterpret_cast<const char*>(p_), n);
        p_ += n;
        left_ -= n;
        return s;
    }
    std::string rest() {
        std::string s(reinterpret_cast<const char*>(p_), left_);
        p_ += left_;
        left_ = 0;
        return s;
    }
    size_t left() const { return left_; }

private:
    const uint8_t* p_;
    size_t left_;
};

}  // namespace qor::fuzz
