// Linked into every GoogleTest program: the interface's language follows the locale, and the
// tests expect the built-in texts whatever the locale of the machine that runs them. Set before
// main, so the programs and every child they start see it.
#include <cstdlib>

namespace {

const bool kLocaleSet = [] {
    ::unsetenv("LANGUAGE");
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    ::setenv("LANG", "C.UTF-8", 1);
    return true;
}();

}  // namespace
