#include "session/session.h"

#include <cstdlib>

#include "imagelist/captures.h"
#include "shell/config_paths.h"

namespace lumar {

SessionPaths SessionPaths::FromConfigFolder() {
    return SessionPaths{ConfigFolder(), lumar::SettingsFile(), lumar::LanguageFile(),
                        HostersFile(),  DataFolder(),          CapturesFolder()};
}

std::string DataFolder() {
    const char* chosen = std::getenv("LUMAR_DATA_DIR");
    return chosen != nullptr && *chosen != '\0' ? chosen : LUMAR_DATA_DIR;
}

}  // namespace lumar
