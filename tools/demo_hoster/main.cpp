// lumar-demo-hoster: the hoster emulator as a program, for trying Lumar without the internet.
// It answers uploads in the style of each of the seven hosters and serves the received images
// back with the page each thumbnail links to, on 127.0.0.1 only.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <string>

#include "hoster_emulator/hoster_emulator.h"

namespace {

int Usage() {
    std::cerr << "Usage: lumar-demo-hoster [--port N] [--hosters-ini FILE] [--lifetime SECONDS]\n"
                 "  --port N            listen on 127.0.0.1:N (default: a free port)\n"
                 "  --hosters-ini FILE  write a hosters.ini pointing the seven hosters here\n"
                 "  --lifetime SECONDS  stop after this long (default 3600)\n"
                 "Stops on Ctrl+C or SIGTERM. Prints the port on its first line.\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    long port = 0;
    long lifetime = 3600;
    std::string iniPath;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--port" && hasValue) {
            port = std::strtol(argv[++i], nullptr, 10);
        } else if (arg == "--hosters-ini" && hasValue) {
            iniPath = argv[++i];
        } else if (arg == "--lifetime" && hasValue) {
            lifetime = std::strtol(argv[++i], nullptr, 10);
        } else {
            return Usage();
        }
    }
    if (port < 0 || port > 65534 || lifetime < 1) return Usage();

    // The serving thread inherits this mask, so the signals reach the wait below.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    lumar::tools::HosterEmulator emulator(static_cast<std::uint16_t>(port),
                                          std::chrono::seconds(lifetime));
    if (!emulator.Listening()) {
        std::cerr << "lumar-demo-hoster: cannot listen on 127.0.0.1:" << port << ": "
                  << std::strerror(errno) << "\n";
        return 1;
    }
    if (!iniPath.empty()) {
        std::ofstream out(iniPath, std::ios::binary);
        out << emulator.HostersIni();
        if (!out) {
            std::cerr << "lumar-demo-hoster: cannot write " << iniPath << "\n";
            return 1;
        }
    }
    std::cout << emulator.Port() << std::endl;
    std::cerr << "lumar-demo-hoster: listening on 127.0.0.1:" << emulator.Port() << "\n";

    timespec wait{lifetime, 0};
    sigtimedwait(&signals, nullptr, &wait);
    emulator.Stop();
    std::cerr << "lumar-demo-hoster: " << emulator.Uploads().size() << " uploads received\n";
    return 0;
}
