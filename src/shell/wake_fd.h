#pragma once
// An eventfd that worker threads signal when they have handed something back, so a thread
// that waits in poll on its sockets wakes at once instead of at the end of its slice. Its
// owner empties it after each wait and then looks at everything that may have signalled it:
// a signal that comes after the look leaves it readable for the next wait, so none is lost.

namespace lumar {

class WakeFd {
  public:
    // Without an eventfd (no descriptors left) Fd() is -1 and the waits end with their slices.
    WakeFd();
    ~WakeFd();
    WakeFd(const WakeFd&) = delete;
    WakeFd& operator=(const WakeFd&) = delete;

    [[nodiscard]] int Fd() const { return fd_; }
    // Safe from any thread.
    void Signal() const;
    void Drain() const;

  private:
    int fd_ = -1;
};

}  // namespace lumar
