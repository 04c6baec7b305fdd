#include "shell/thread_priority.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace lumar {

void LowerThisThreadsPriority(int steps) {
#ifdef __linux__
    // Linux keeps a nice value per thread, not only per process.
    const auto self = static_cast<id_t>(::gettid());
    errno = 0;
    const int now = ::getpriority(PRIO_PROCESS, self);
    if (errno == 0) ::setpriority(PRIO_PROCESS, self, std::min(now + steps, 19));
#else
    (void)steps;
#endif
}

}  // namespace lumar
