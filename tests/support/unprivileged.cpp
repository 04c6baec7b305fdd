#include "support/unprivileged.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lumar::test {

int RunUnprivileged(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 ||
             ::setresgid(kUnprivilegedId, kUnprivilegedId, kUnprivilegedId) != 0 ||
             ::setresuid(kUnprivilegedId, kUnprivilegedId, kUnprivilegedId) != 0))
            ::_exit(255);
        ::_exit(body() & 0xFF);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 255) return -1;
    return WEXITSTATUS(status);
}

}  // namespace lumar::test
