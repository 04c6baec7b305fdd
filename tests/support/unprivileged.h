#pragma once
// Permission tests must see permission bits bite, which they do not for root (CI and
// developers' containers run as root): such a test runs its part in a child process that
// has become an ordinary user.
#include <functional>

namespace lumar::test {

// The user and group the child becomes when the tests run as root ("nobody").
inline constexpr unsigned kUnprivilegedId = 65534;

// Runs `body` in a child process, as kUnprivilegedId when the tests run as root, else as the
// current user, and returns what it returned (0..255); -1 when the child could not drop its
// privileges or did not exit normally. The folders it touches must be open to that user.
int RunUnprivileged(const std::function<int()>& body);

}  // namespace lumar::test
