#pragma once
// A broken property ends the fuzz run at once, in every build type.
#include <cstdlib>

inline void Check(bool ok) {
    if (!ok) std::abort();
}
