#include "shell/wake_fd.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace lumar {

WakeFd::WakeFd() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WakeFd::~WakeFd() {
    if (fd_ >= 0) ::close(fd_);
}

void WakeFd::Signal() const {
    const std::uint64_t one = 1;
    // Only a counter at its limit refuses, and that one is readable already.
    [[maybe_unused]] const ssize_t written = ::write(fd_, &one, sizeof one);
}

void WakeFd::Drain() const {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(fd_, &count, sizeof count);
}

}  // namespace lumar
