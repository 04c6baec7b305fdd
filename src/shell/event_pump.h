#pragma once
// Long work (uploads, folder scans, the update check) runs on the one thread of the program.
// It keeps the window alive by calling back into the front end at fixed points; the window
// passes a function that processes its pending events, the command line passes nothing.
#include <functional>

namespace lumar {

using PumpEvents = std::function<void()>;

inline void Pump(const PumpEvents& pump) {
    if (pump) pump();
}

}  // namespace lumar
