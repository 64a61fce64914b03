#pragma once
// An owned file descriptor, closed when it goes out of scope.

#include <unistd.h>
#include <utility>

namespace platform::linux_detail {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

    // Closes now and reports whether the close succeeded (it can report a failed write-back).
    bool Close() { return ::close(std::exchange(fd_, -1)) == 0; }

private:
    void Reset() {
        if (fd_ >= 0) {
            ::close(std::exchange(fd_, -1));
        }
    }
    int fd_ = -1;
};

} // namespace platform::linux_detail
